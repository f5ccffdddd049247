#include "cli/compliance_command.h"

#include "base/faces.h"
#include "cli/exit_codes.h"
#include "cli/records_command.h"
#include "cli/terminal_output.h"
#include "records/records_address.h"
#include "report/central_compliance.h"
#include "report/compliance_report.h"
#include "report/report_texts.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>

namespace posflash {

int ComplianceCommand(const CliArguments& args, TerminalOutput& out, TerminalOutput& err) {
    const auto usage = [&err](const QString& why) {
        err.write(QStringLiteral("posflash-cli: %1\nsee 'posflash-cli help report'\n").arg(why));
        return kExitUsage;
    };
    const QString name = args.value("compliance");
    if (name.trimmed().isEmpty())
        return usage(QStringLiteral("--compliance wants a recipe's name"));
    if (args.positionalArguments().size() != 1)
        return usage(QStringLiteral("report takes no FILE"));
    // A shift report's filters would silently narrow which printers count.
    for (const char* filter :
         {"since", "until", "station", "operator", "label", "shift", "sha256", "outcome"})
        if (args.isSet(filter))
            return usage(QStringLiteral("--compliance counts every printer of the line's "
                                        "records: it takes no --%1")
                             .arg(QLatin1String(filter)));
    if (!args.isSet("central"))
        return usage(QStringLiteral("--compliance reads the line's records: give --central"));
    const QString outPath = args.value("out");
    const bool toStdout = outPath.isEmpty() || outPath == QLatin1String("-");
    const QString word = args.isSet("format")                    ? args.value("format")
                         : QFileInfo(outPath).suffix().isEmpty() ? QStringLiteral("html")
                                                                 : QFileInfo(outPath).suffix();
    const std::optional<ComplianceFormat> format = ComplianceFormatOf(word.toLower());
    if (!format)
        return usage(args.isSet("format")
                         ? QStringLiteral("--format is html, csv or json for --compliance")
                         : QStringLiteral("--out %1: a compliance report is html, csv or json; "
                                          "name the file so, or give --format")
                               .arg(outPath));
    const Result<RecordsAddress> address = CentralAddress(args);
    if (!address)
        return usage(address.error().text);

    const Result<ComplianceFigures> figures = CentralCompliance(*address, name);
    if (!figures) {
        err.write(QStringLiteral("posflash-cli: cannot read the line's records (%1): %2\n")
                      .arg(address->shown(), figures.error().text));
        return kExitFailed;
    }
    Faces faces;
    faces.setUseEnglish(args.value("lang") == "en");
    const QString report = ComplianceReportText(*figures, *format, address->shown(),
                                                QDateTime::currentDateTime(), ReportTexts(faces));
    if (toStdout) {
        out.write(report);
        return kExitCompleted;
    }
    QSaveFile file(outPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(report.toUtf8()) < 0 || !file.commit()) {
        err.write(
            QStringLiteral("posflash-cli: cannot write %1: %2\n").arg(outPath, file.errorString()));
        return kExitFailed;
    }
    return kExitCompleted;
}

} // namespace posflash
