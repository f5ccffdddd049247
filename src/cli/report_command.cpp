#include "cli/report_command.h"

#include "base/faces.h"
#include "cli/compliance_command.h"
#include "cli/exit_codes.h"
#include "cli/history_command.h"
#include "cli/records_command.h"
#include "cli/terminal_output.h"
#include "records/records_address.h"
#include "report/central_units.h"
#include "report/report_texts.h"
#include "report/shift_report.h"

#include <QFileInfo>

namespace posflash {
namespace {

// The filters as typed, for a refusal on the command line (the report says them in words).
QString typedFilters(const CliArguments& args) {
    QStringList given;
    for (const char* name :
         {"since", "until", "station", "operator", "label", "shift", "sha256", "central"})
        if (args.isSet(name))
            given << (QLatin1String(name) == QLatin1String("central")
                          ? QStringLiteral("--central")
                          : QStringLiteral("--%1 %2").arg(QLatin1String(name), args.value(name)));
    return given.join(QLatin1Char(' '));
}

Result<std::vector<ReportUnit>> localUnits(const HistoryFilter& filter, TerminalOutput& err) {
    HistoryStore::Options options;
    options.warned = [&err](const QString& text) {
        err.write(QStringLiteral("posflash-cli: warning: %1\n").arg(text));
    };
    HistoryStore store(HistoryStore::defaultPath(), options);
    if (!QFileInfo::exists(store.filePath()) && !QFileInfo::exists(store.journalPath()))
        return std::vector<ReportUnit>{};
    if (QFileInfo::exists(store.journalPath()))
        (void)store.replayJournal();
    // Every attempt, so that a unit is whole before it is judged by where it began.
    Result<std::vector<HistoryRecord>> found = store.find(HistoryFilter{});
    if (!found)
        return found.error();
    return UnitsMatching(UnitsOf(*found), filter);
}

} // namespace

int ReportCommand(const CliArguments& args, TerminalOutput& out, TerminalOutput& err) {
    if (args.isSet("compliance"))
        return ComplianceCommand(args, out, err);
    const auto usage = [&err](const QString& why) {
        err.write(QStringLiteral("posflash-cli: %1\nsee 'posflash-cli help report'\n").arg(why));
        return kExitUsage;
    };
    if (args.positionalArguments().size() != 1)
        return usage(QStringLiteral("report takes no FILE"));
    if (args.value("lang") != "en" && args.value("lang") != "zh")
        return usage(QStringLiteral("--lang is en or zh"));
    const QString outPath = args.value("out");
    const QString formatWord = args.isSet("format") ? args.value("format")
                               : QFileInfo(outPath).suffix().isEmpty()
                                   ? QStringLiteral("html")
                                   : QFileInfo(outPath).suffix().toLower();
    const std::optional<ReportFormat> format = ReportFormatOf(formatWord);
    if (!format && !args.isSet("format"))
        return usage(QStringLiteral("--out %1: a report is html, pdf or csv; name the file .html, "
                                    ".pdf or .csv, or give --format")
                         .arg(outPath));
    if (!format)
        return usage(QStringLiteral("--format is html, pdf or csv"));
    const bool toStdout = outPath.isEmpty() || outPath == QLatin1String("-");
    if (*format == ReportFormat::Pdf && toStdout)
        return usage(QStringLiteral("a PDF report needs --out FILE"));
    const Result<HistoryFilter> read = ReadHistoryFilter(args);
    if (!read)
        return usage(read.error().text);
    const HistoryFilter& filter = *read;

    ReportSource source{{}, filter, args.isSet("central"), QDateTime::currentDateTime()};
    Result<std::vector<ReportUnit>> units = std::vector<ReportUnit>{};
    if (args.isSet("central")) {
        const Result<RecordsAddress> address = CentralAddress(args);
        if (!address)
            return usage(address.error().text);
        source.from = address->shown();
        units = CentralUnits(*address, filter);
        if (!units)
            units = WithContext(units.error(), address->shown());
    } else {
        source.from = HistoryStore::defaultPath();
        units = localUnits(filter, err);
    }
    if (!units) {
        err.write(QStringLiteral("posflash-cli: cannot read the %1: %2\n")
                      .arg(args.isSet("central") ? QStringLiteral("line's records")
                                                 : QStringLiteral("download history"),
                           units.error().text));
        return kExitFailed;
    }
    // A report of nothing would read as a line whose yield is 0.0 %.
    if (units->empty()) {
        const QString typed = typedFilters(args);
        err.write(QStringLiteral("posflash-cli: report: no unit matches %1\n")
                      .arg(typed.isEmpty() ? QStringLiteral("(the history is empty)") : typed));
        return kExitFailed;
    }
    Faces faces;
    faces.setUseEnglish(args.value("lang") == "en");
    const ReportTexts texts(faces);
    if (toStdout) {
        out.write(ShiftReportText(*units, *format, source, texts));
        return kExitCompleted;
    }
    if (const Status written = WriteShiftReport(*units, *format, outPath, source, texts);
        !written) {
        err.write(QStringLiteral("posflash-cli: %1\n").arg(written.error().text));
        return kExitFailed;
    }
    return kExitCompleted;
}

} // namespace posflash
