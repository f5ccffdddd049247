#include "cli/history_command.h"

#include "cli/report_output.h"
#include "cli/terminal_output.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>

namespace posflash {
namespace {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QString targetText(const HistoryRecord& r) {
    if (!r.ip.isEmpty())
        return r.ip + QLatin1Char(' ') + r.mac;
    QString text = r.comNumber > 0 ? QStringLiteral("COM%1").arg(r.comNumber) : QString();
    if (!r.deviceNode.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + r.deviceNode;
    if (!r.usbSerial.isEmpty())
        text += QStringLiteral(" (%1)").arg(r.usbSerial);
    return text;
}

QString crcText(int crc16) {
    return crc16 < 0
               ? QStringLiteral("-")
               : QStringLiteral("0x%1").arg(
                     QString::number(crc16, 16).toUpper().rightJustified(4, QLatin1Char('0')));
}

QString tableOf(const std::vector<HistoryRecord>& records) {
    QString text = Column("started", 20) + Column("seconds", 9) + Column("result", 11) +
                   Column("front", 7) + Column("kind", 8) + Column("frames", 8) +
                   Column("retries", 8) + Column("CRC-16", 7) + Column("target", 30) +
                   QStringLiteral("file\n");
    for (const HistoryRecord& r : records) {
        const QString seconds = QString::number(static_cast<double>(r.milliseconds) / 1000, 'f', 1);
        text += Column(r.startedAt.toLocalTime().toString("yyyy-MM-dd HH:mm:ss"), 20) +
                Column(seconds, 9) + Column(r.result, 11) + Column(r.frontEnd, 7) +
                Column(r.kind, 8) + Column(QString::number(r.frames), 8) +
                Column(QString::number(r.retries), 8) + Column(crcText(r.crc16), 7) +
                Column(targetText(r), 30) + r.filePath;
        if (r.fileSize >= 0)
            text += QStringLiteral(" (%1 bytes)").arg(r.fileSize);
        if (!r.reason.isEmpty())
            text += QStringLiteral(": ") + r.reason;
        text += QLatin1Char('\n');
    }
    return text;
}

// One record as a JSON object on one line.
QByteArray jsonLineOf(const HistoryRecord& r) {
    const QJsonObject object{
        {"started", r.startedAt.toUTC().toString(Qt::ISODateWithMs)},
        {"seconds", static_cast<double>(r.milliseconds) / 1000},
        {"front_end", r.frontEnd},
        {"com", r.comNumber > 0 ? QJsonValue(r.comNumber) : QJsonValue()},
        {"device", textOrNull(r.deviceNode)},
        {"ip", textOrNull(r.ip)},
        {"mac", textOrNull(r.mac)},
        {"usb_serial", textOrNull(r.usbSerial)},
        {"file", r.filePath},
        {"size", r.fileSize >= 0 ? QJsonValue(r.fileSize) : QJsonValue()},
        {"kind", r.kind},
        {"crc16", r.crc16 >= 0 ? QJsonValue(r.crc16) : QJsonValue()},
        {"frames", r.frames},
        {"retries", r.retries},
        {"result", r.result},
        {"reason", textOrNull(r.reason)},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

int HistoryCommand(const QCommandLineParser& args, TerminalOutput& err) {
    if (args.positionalArguments().size() != 1) {
        err.write(QStringLiteral("posflash-cli: history takes no FILE\n"));
        return kExitUsage;
    }
    int limit = 0;
    if (args.isSet("limit")) {
        bool number = false;
        limit = args.value("limit").toInt(&number);
        if (!number || limit < 1) {
            err.write(QStringLiteral("posflash-cli: --limit is a number from 1 up\n"));
            return kExitUsage;
        }
    }
    HistoryStore store;
    const Result<std::vector<HistoryRecord>> found = store.recent(limit);
    if (!found) {
        err.write(QStringLiteral("posflash-cli: cannot read the download history: %1\n")
                      .arg(found.error().text));
        return kExitFailed;
    }
    const std::vector<HistoryRecord>& records = *found;
    if (args.isSet("json")) {
        QByteArray lines;
        for (const HistoryRecord& r : records)
            lines += jsonLineOf(r) + '\n';
        WriteReport(QString::fromUtf8(lines));
    } else if (records.empty()) {
        WriteReport(QStringLiteral("No downloads recorded in %1.\n").arg(store.filePath()));
    } else {
        WriteReport(tableOf(records));
    }
    return kExitDone;
}

void RecordDownload(const HistoryRecord& record, TerminalOutput& err) {
    HistoryStore store;
    if (const Status added = store.add(record); !added)
        err.write(QStringLiteral("posflash-cli: warning: the download was not recorded in the "
                                 "history: %1\n")
                      .arg(added.error().text));
}

} // namespace posflash
