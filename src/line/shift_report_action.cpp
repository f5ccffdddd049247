#include "line/shift_report_action.h"

#include "base/faces.h"
#include "history/history_store.h"
#include "report/report_texts.h"
#include "report/shift_report.h"

#include <QDir>

namespace posflash {

Result<QStringList> WriteShiftReports(const QString& historyPath, const QString& shift,
                                      const QString& folder, const QDateTime& shiftStart,
                                      bool english) {
    HistoryFilter filter;
    filter.shift = shift;
    HistoryStore store(historyPath);
    Result<std::vector<HistoryRecord>> found = store.find(filter);
    if (!found)
        return found.error();
    if (!QDir().mkpath(folder))
        return Error{0, QStringLiteral("cannot make the folder %1").arg(folder)};
    Faces faces;
    faces.setUseEnglish(english);
    const ReportTexts texts(faces);
    const ReportSource source{historyPath, filter, false, QDateTime::currentDateTime()};
    const std::vector<ReportUnit> units = UnitsOf(*found);
    const QString stem = QDir(folder).filePath(
        QStringLiteral("shift-report-%1-%2")
            .arg(shiftStart.toString(QStringLiteral("yyyyMMdd-HHmm")), shift.left(8)));
    QStringList written;
    for (const auto& [format, ending] :
         {std::pair{ReportFormat::Html, ".html"}, std::pair{ReportFormat::Pdf, ".pdf"}}) {
        const QString path = stem + QLatin1String(ending);
        if (const Status done = WriteShiftReport(units, format, path, source, texts); !done)
            return done.error();
        written << path;
    }
    return written;
}

} // namespace posflash
