#include "report/shift_report.h"

#include "base/named_values.h"

#include "report/report_csv.h"
#include "report/report_pdf.h"

#include <QFile>
#include <QSaveFile>

namespace posflash {

std::optional<ReportFormat> ReportFormatOf(const QString& word) {
    static constexpr NamedValue<ReportFormat> kFormats[] = {
        {ReportFormat::Html, "html"}, {ReportFormat::Pdf, "pdf"}, {ReportFormat::Csv, "csv"}};
    return ValueIn(kFormats, word);
}

QString ShiftReportText(const std::vector<ReportUnit>& units, ReportFormat format,
                        const ReportSource& source, const ReportTexts& texts) {
    switch (format) {
    case ReportFormat::Html:
        return HtmlOf(DocumentOf(FiguresOf(units), source, texts));
    case ReportFormat::Csv:
        return CsvOf(units);
    case ReportFormat::Pdf:
        break;
    }
    return {};
}

Status WriteShiftReport(const std::vector<ReportUnit>& units, ReportFormat format,
                        const QString& path, const ReportSource& source, const ReportTexts& texts) {
    if (format == ReportFormat::Pdf) {
        // Into a file beside it first, so that a report cut short replaces nothing.
        const QString part = path + QStringLiteral(".part");
        if (const Status written = WritePdf(DocumentOf(FiguresOf(units), source, texts), part);
            !written) {
            QFile::remove(part);
            return written;
        }
        QFile::remove(path);
        if (!QFile::rename(part, path)) {
            QFile::remove(part);
            return Error{0, QStringLiteral("cannot write %1").arg(path)};
        }
        return {};
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(ShiftReportText(units, format, source, texts).toUtf8()) < 0 || !file.commit())
        return Error{0, QStringLiteral("cannot write %1: %2").arg(path, file.errorString())};
    return {};
}

} // namespace posflash
