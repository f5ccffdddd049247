#include "cli/history_command.h"

#include "base/config_paths.h"
#include "cli/download_view.h"
#include "cli/exit_codes.h"
#include "cli/records_command.h"
#include "cli/report_output.h"
#include "cli/table_layout.h"
#include "cli/terminal_output.h"
#include "history/csv_field.h"
#include "history/record_fields.h"
#include "history/unit_yield.h"
#include "ports/com_port_map.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <optional>
#include <tuple>
#include <vector>

#include <unistd.h>

namespace posflash {
namespace {

// A COM number only when the user's map gives it that node: a node named on the command line
// got a number for its run alone.
QString targetText(const HistoryRecord& r, const ComPortMap& map) {
    if (!r.printer.ip.isEmpty())
        return r.printer.ip + QLatin1Char(' ') + r.printer.mac;
    QStringList parts;
    if (r.printer.comNumber > 0 &&
        (r.printer.node.isEmpty() || map.devicePath(r.printer.comNumber) == r.printer.node))
        parts << QStringLiteral("COM%1").arg(r.printer.comNumber);
    if (!r.printer.node.isEmpty())
        parts << r.printer.node;
    if (!r.printer.usbPath.isEmpty())
        parts << QStringLiteral("USB ") + r.printer.usbPath;
    if (!r.printer.usbSerial.isEmpty())
        parts << QStringLiteral("(%1)").arg(r.printer.usbSerial);
    return parts.isEmpty() ? QStringLiteral("-") : parts.join(QLatin1Char(' '));
}

QString reasonOf(const HistoryRecord& r, bool english) {
    const QString reason = english ? r.reasonEn : r.reasonZh;
    return reason.isEmpty() ? r.legacyReason : reason;
}

} // namespace

// The table a person reads, fitted to the terminal (columns: 0 off one): the where and the why
// give way first, a path keeping its file name; the reason goes under its row, and then the
// least needed columns are left out and named. JSON and CSV hold every field. The line's
// records come from every station: their table names the station and the operator.
QString HistoryTable(const std::vector<HistoryRecord>& records, bool english, bool central,
                     int columns) {
    const auto orDash = [](const QString& text) {
        return text.isEmpty() ? QStringLiteral("-") : EscapedName(text.toUtf8());
    };
    std::vector<TableColumn> heads{
        {"started"}, {"seconds", false, false, 8, 4}, {"outcome"}, {"cause", true, false, 15}};
    if (central)
        heads.insert(heads.end(), {{"station", true}, {"operator", true, false, 8, 6}});
    heads.insert(heads.end(), {{"kind", false, false, 8, 2},
                               {"attempt", false, false, 8, 5},
                               {"resends", false, false, 8, 3},
                               {"target", true, true, 24},
                               {"label", true},
                               {"file", true, true, 20},
                               {"reason", true, false, 20, 1, true}});
    const ComPortMap map(ComPortMapPath());
    const auto rowsWith = [&](const QString& timeFormat) {
        std::vector<QStringList> rows;
        for (const HistoryRecord& r : records) {
            QStringList row{r.startedAt.toLocalTime().toString(timeFormat),
                            QString::number(static_cast<double>(r.milliseconds) / 1000, 'f', 1),
                            r.outcome, r.cause.isEmpty() ? QStringLiteral("-") : r.cause};
            if (central)
                row << orDash(r.station) << orDash(r.operatorName);
            // A reason is a translation of ours; a line break in one must not split the table.
            const QString reason = reasonOf(r, english);
            row << r.kind << (r.attempt > 0 ? QString::number(r.attempt) : QStringLiteral("-"))
                << QString::number(r.retries) << EscapedName(targetText(r, map).toUtf8())
                << orDash(r.label) << EscapedName(r.filePath)
                << (reason.isEmpty() ? QStringLiteral("-") : EscapedName(reason.toUtf8()));
            rows.push_back(std::move(row));
        }
        return rows;
    };
    // A terminal too narrow for every column gets the start without its year and seconds.
    QStringList leftOut;
    QString text =
        LayoutTable(heads, rowsWith(QStringLiteral("yyyy-MM-dd HH:mm:ss")), columns, &leftOut);
    if (!leftOut.isEmpty()) {
        leftOut.clear();
        text = LayoutTable(heads, rowsWith(QStringLiteral("MM-dd HH:mm")), columns, &leftOut);
    }
    if (!leftOut.isEmpty())
        text += QStringLiteral("not shown: %1 (--format csv has them)\n")
                    .arg(leftOut.join(QStringLiteral(", ")));
    // Of the rows listed: a limit can cut a unit's earlier attempts off.
    const UnitYield yield = YieldOf(records);
    text += QStringLiteral("%1 %2: first-pass yield %3 % (%4), final yield %5 % (%6)\n")
                .arg(yield.units)
                .arg(yield.units == 1 ? QStringLiteral("unit") : QStringLiteral("units"))
                .arg(yield.firstPassPercent(), 0, 'f', 1)
                .arg(yield.firstPass)
                .arg(yield.finalPercent(), 0, 'f', 1)
                .arg(yield.passed);
    // Refusals are recorded with their cause, but no printer received a frame: no units.
    if (yield.beforeFirstFrame > 0)
        text += QStringLiteral("%1 %2 before the printer received a frame: not counted\n")
                    .arg(yield.beforeFirstFrame)
                    .arg(yield.beforeFirstFrame == 1 ? QStringLiteral("attempt ended")
                                                     : QStringLiteral("attempts ended"));
    return text;
}

namespace {

QString csvValue(const QJsonValue& value) {
    if (value.isNull() || value.isUndefined())
        return {};
    if (value.isString())
        return value.toString();
    if (value.isDouble() && value.toDouble() == static_cast<double>(value.toInteger()))
        return QString::number(value.toInteger());
    return QString::number(value.toDouble(), 'g', 15);
}

// The JSON fields as columns, a header row first, CRLF line ends. A UTF-8 path is written as it
// is (a CSV reader gives it back); other bytes as in JSON, escaped, with path_base64.
QString csvOf(const std::vector<HistoryRecord>& records) {
    QStringList names;
    QString bytesKey;
    for (const RecordField& field : RecordFields()) {
        names << QLatin1String(field.json);
        if (field.encoding == FieldEncoding::Bytes)
            bytesKey = Base64KeyOf(field);
    }
    // resends last: "retries" is its old name, kept for one version.
    QString text = CsvRow(names + QStringList{bytesKey, QStringLiteral("resends")});
    for (const HistoryRecord& r : records) {
        const QJsonObject json = JsonOf(r);
        QStringList cells;
        for (const RecordField& field : RecordFields())
            cells << (field.encoding == FieldEncoding::Bytes && !json.contains(bytesKey)
                          ? StoredValue(field, r).toString()
                          : csvValue(json.value(QLatin1String(field.json))));
        text += CsvRow(cells << csvValue(json.value(bytesKey)) << QString::number(r.retries));
    }
    return text;
}

// The records the filter lets through, as HistoryStore::find() selects them.
std::vector<HistoryRecord> filteredOf(std::vector<HistoryRecord> records,
                                      const HistoryFilter& filter) {
    const auto keeps = [&filter](const HistoryRecord& r) {
        const auto equal = [](const QString& wanted, const QString& value) {
            return wanted.isEmpty() || wanted == value;
        };
        return equal(filter.operatorName, r.operatorName) && equal(filter.station, r.station) &&
               equal(filter.label, r.label) && equal(filter.outcome, r.outcome) &&
               equal(filter.shift, r.shift) &&
               equal(filter.sha256, QString::fromLatin1(r.sha256.toHex())) &&
               (filter.mode.isEmpty() || (filter.mode == QLatin1String("engineering")) ==
                                             (r.mode == QLatin1String("engineering"))) &&
               (!filter.since.isValid() || r.startedAt >= filter.since) &&
               (!filter.until.isValid() || r.startedAt < filter.until);
    };
    std::vector<HistoryRecord> kept;
    for (HistoryRecord& r : records)
        if (keeps(r) && (filter.limit <= 0 || static_cast<int>(kept.size()) < filter.limit))
            kept.push_back(std::move(r));
    return kept;
}

// A local date (from its midnight; endOfDay: to the next midnight) or date and time (local
// unless it carries an offset).
std::optional<QDateTime> localTime(const QString& text, bool endOfDay) {
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (date.isValid() && text.size() == 10)
        return QDateTime(endOfDay ? date.addDays(1) : date, QTime(0, 0));
    QString dateTime = text;
    if (dateTime.size() > 10 && dateTime[10] == QLatin1Char(' '))
        dateTime[10] = QLatin1Char('T');
    const QDateTime time = QDateTime::fromString(dateTime, Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

} // namespace

Result<HistoryFilter> ReadHistoryFilter(const CliArguments& args) {
    HistoryFilter filter;
    // Only what was given: report has no --outcome.
    const auto value = [&](const char* name) {
        return args.isSet(QLatin1String(name)) ? args.value(name) : QString();
    };
    const auto refused = [](const QString& why) { return Error{0, why, {}, ErrorDomain::Input}; };
    filter.operatorName = value("operator");
    filter.station = value("station");
    filter.label = value("label");
    filter.outcome = value("outcome");
    filter.shift = value("shift");
    filter.mode = value("mode");
    if (args.isSet("mode") && !HistoryStore::modes().contains(filter.mode))
        return refused(QStringLiteral("--mode is production or engineering"));
    if (args.isSet("outcome") && !HistoryStore::outcomes().contains(filter.outcome)) {
        const QStringList& outcomes = HistoryStore::outcomes();
        return refused(QStringLiteral("--outcome is %1 or %2")
                           .arg(outcomes.mid(0, outcomes.size() - 1).join(QStringLiteral(", ")),
                                outcomes.last()));
    }
    for (const auto& [name, time, endOfDay] :
         {std::tuple{"since", &filter.since, false}, std::tuple{"until", &filter.until, true}}) {
        if (!args.isSet(QLatin1String(name)))
            continue;
        const auto parsed = localTime(args.value(name), endOfDay);
        if (!parsed)
            return refused(QStringLiteral("--%1 %2 is not a local date (2026-03-31) or "
                                          "date and time (2026-03-31T14:30)")
                               .arg(QLatin1String(name), args.value(name)));
        *time = *parsed;
    }
    if (args.isSet("sha256")) {
        filter.sha256 = value("sha256").toLower();
        static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
        if (!hex.match(filter.sha256).hasMatch())
            return refused(QStringLiteral("--sha256 is the image's SHA-256, 64 hex digits"));
    }
    return filter;
}

bool HistoryFiltered(const HistoryFilter& filter) {
    return !filter.operatorName.isEmpty() || !filter.station.isEmpty() || !filter.label.isEmpty() ||
           !filter.outcome.isEmpty() || !filter.shift.isEmpty() || !filter.sha256.isEmpty() ||
           !filter.mode.isEmpty() || filter.since.isValid() || filter.until.isValid();
}

int HistoryCommand(const CliArguments& args, TerminalOutput& err) {
    if (args.positionalArguments().size() != 1) {
        err.write(QStringLiteral("posflash-cli: history takes no FILE\n"));
        return kExitUsage;
    }
    HistoryFilter filter;
    int& limit = filter.limit;
    if (args.isSet("limit")) {
        bool number = false;
        limit = args.value("limit").toInt(&number);
        if (!number || limit < 1) {
            err.write(QStringLiteral("posflash-cli: --limit is a number from 1 up\n"));
            return kExitUsage;
        }
    }
    QString format = args.isSet("format") ? args.value("format") : QStringLiteral("table");
    if (args.isSet("json")) {
        if (args.isSet("format") && format != QLatin1String("json")) {
            err.write(QStringLiteral("posflash-cli: --json is --format json\n"));
            return kExitUsage;
        }
        format = QStringLiteral("json");
    }
    if (format != QLatin1String("table") && format != QLatin1String("json") &&
        format != QLatin1String("csv")) {
        err.write(QStringLiteral("posflash-cli: --format is table, json or csv\n"));
        return kExitUsage;
    }
    if (Result<HistoryFilter> read = ReadHistoryFilter(args); read) {
        read->limit = filter.limit;
        filter = std::move(*read);
    } else {
        err.write(QStringLiteral("posflash-cli: %1\n").arg(read.error().text));
        return kExitUsage;
    }
    HistoryStore::Options options;
    options.warned = [&err](const QString& text) {
        err.write(QStringLiteral("posflash-cli: warning: %1\n").arg(text));
    };
    HistoryStore store(HistoryStore::defaultPath(), options);
    // What an earlier run could only keep in the journal is listed too; a database still
    // unavailable is said below.
    const bool central = args.isSet("central");
    if (central && RecordsAddressText(args).isEmpty()) {
        err.write(QStringLiteral("posflash-cli: --central needs --records URI or the environment "
                                 "variable POSFLASH_RECORDS\n"));
        return kExitUsage;
    }
    if (!central && QFileInfo::exists(HistoryStore::journalPathOf(store.filePath())))
        (void)store.replayJournal();
    // The line's records are read whole when filtered, and filtered here.
    const bool filtered = HistoryFiltered(filter);
    // Reading makes nothing: with no history and no journal yet, there is nothing to list.
    const bool nothingHere = !QFileInfo::exists(store.filePath()) &&
                             !QFileInfo::exists(HistoryStore::journalPathOf(store.filePath()));
    Result<std::vector<HistoryRecord>> found =
        central       ? CentralHistory(args, filtered ? 0 : limit)
        : nothingHere ? Result<std::vector<HistoryRecord>>(std::vector<HistoryRecord>{})
                      : store.find(filter);
    if (central && filtered && found)
        found = filteredOf(std::move(*found), filter);
    if (!found) {
        err.write(QStringLiteral("posflash-cli: cannot read the %1: %2\n")
                      .arg(central ? QStringLiteral("line's records")
                                   : QStringLiteral("download history"),
                           found.error().text));
        return kExitFailed;
    }
    const std::vector<HistoryRecord>& records = *found;
    if (format == QLatin1String("csv")) {
        WriteReport(csvOf(records));
    } else if (format == QLatin1String("json")) {
        QByteArray lines;
        for (const HistoryRecord& r : records) {
            // "retries" is the old name of resends, kept for one version; the journal keeps it.
            QJsonObject json = JsonOf(r);
            json.insert(QLatin1String("resends"), r.retries);
            lines += QJsonDocument(json).toJson(QJsonDocument::Compact) + '\n';
        }
        WriteReport(QString::fromUtf8(lines));
    } else if (records.empty()) {
        WriteReport(QStringLiteral("No downloads recorded in %1.\n")
                        .arg(central ? QStringLiteral("the line's records") : store.filePath()));
    } else {
        WriteReport(HistoryTable(records, args.value("lang") == "en", central,
                                 TerminalColumns(STDOUT_FILENO)));
    }
    return kExitCompleted;
}

void ReportHistoryWrite(const HistoryWrite& write, const QString& journalPath,
                        TerminalOutput& err) {
    if (write.place == HistoryWrite::Place::Journal)
        err.write(QStringLiteral("posflash-cli: warning: the history database is not available "
                                 "(%1); the download was kept in %2 and goes into the history "
                                 "at the next write\n")
                      .arg(write.why.text, journalPath));
    else if (write.place == HistoryWrite::Place::Nowhere)
        err.write(QStringLiteral("posflash-cli: warning: the download was not recorded in the "
                                 "history: %1\n")
                      .arg(write.why.text));
}

} // namespace posflash
