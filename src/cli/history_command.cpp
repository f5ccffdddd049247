#include "cli/history_command.h"

#include "cli/records_command.h"
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

// The length of the UTF-8 sequence that starts at i, or 0 when the bytes there are none.
qsizetype utf8Length(const QByteArray& bytes, qsizetype i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const qsizetype n = lead < 0x80             ? 1
                        : (lead & 0xE0) == 0xC0 ? 2
                        : (lead & 0xF0) == 0xE0 ? 3
                        : (lead & 0xF8) == 0xF0 ? 4
                                                : 0;
    if (n <= 1 || i + n > bytes.size())
        return n == 1 ? 1 : 0;
    // Qt's decoder judges overlong forms and surrogates; what it replaces does not come back.
    const QByteArray sequence = bytes.mid(i, n);
    return QString::fromUtf8(sequence).toUtf8() == sequence ? n : 0;
}

QString hexEscape(unsigned char byte) {
    return QStringLiteral("\\x") +
           QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

QString targetText(const HistoryRecord& r) {
    if (!r.ip.isEmpty())
        return r.ip + QLatin1Char(' ') + r.mac;
    QStringList parts;
    if (r.comNumber > 0)
        parts << QStringLiteral("COM%1").arg(r.comNumber);
    if (!r.deviceNode.isEmpty())
        parts << r.deviceNode;
    if (!r.usbPath.isEmpty())
        parts << QStringLiteral("USB ") + r.usbPath;
    if (!r.usbSerial.isEmpty())
        parts << QStringLiteral("(%1)").arg(r.usbSerial);
    return parts.isEmpty() ? QStringLiteral("-") : parts.join(QLatin1Char(' '));
}

QString crcText(int crc16) {
    return crc16 < 0
               ? QStringLiteral("-")
               : QStringLiteral("0x%1").arg(
                     QString::number(crc16, 16).toUpper().rightJustified(4, QLatin1Char('0')));
}

QString reasonOf(const HistoryRecord& r, bool english) {
    const QString reason = english ? r.reasonEn : r.reasonZh;
    return reason.isEmpty() ? r.legacyReason : reason;
}

QString tableOf(const std::vector<HistoryRecord>& records, bool english) {
    QString text = Column("started", 20) + Column("seconds", 9) + Column("outcome", 11) +
                   Column("cause", 20) + Column("front", 7) + Column("kind", 8) +
                   Column("frames", 8) + Column("retries", 8) + Column("CRC-16", 7) +
                   Column("target", 30) + Column("SHA-256", 13) + Column("bytes", 9) +
                   QStringLiteral("file\n");
    for (const HistoryRecord& r : records) {
        const QString seconds = QString::number(static_cast<double>(r.milliseconds) / 1000, 'f', 1);
        const QString sha = r.sha256.isEmpty() ? QStringLiteral("-")
                                               : QString::fromLatin1(r.sha256.toHex().left(12));
        text += Column(r.startedAt.toLocalTime().toString("yyyy-MM-dd HH:mm:ss"), 20) +
                Column(seconds, 9) + Column(r.outcome, 11) +
                Column(r.cause.isEmpty() ? QStringLiteral("-") : r.cause, 20) +
                Column(r.frontEnd, 7) + Column(r.kind, 8) + Column(QString::number(r.frames), 8) +
                Column(QString::number(r.retries), 8) + Column(crcText(r.crc16), 7) +
                Column(targetText(r), 30) + Column(sha, 13) +
                Column(r.fileSize >= 0 ? QString::number(r.fileSize) : QStringLiteral("-"), 9) +
                EscapedName(r.filePath);
        // A reason is a translation of ours; a line break in one must not split the table.
        if (const QString reason = reasonOf(r, english); !reason.isEmpty())
            text += QStringLiteral(": ") + EscapedName(reason.toUtf8());
        text += QLatin1Char('\n');
    }
    return text;
}

// One record as a JSON object on one line.
QByteArray jsonLineOf(const HistoryRecord& r) {
    QJsonObject object{
        {"uuid", r.uuid},
        {"started", r.startedAt.toUTC().toString(Qt::ISODateWithMs)},
        {"seconds", static_cast<double>(r.milliseconds) / 1000},
        {"front_end", r.frontEnd},
        {"com", r.comNumber > 0 ? QJsonValue(r.comNumber) : QJsonValue()},
        {"device", textOrNull(r.deviceNode)},
        {"usb_path", textOrNull(r.usbPath)},
        {"usb_serial", textOrNull(r.usbSerial)},
        {"ip", textOrNull(r.ip)},
        {"mac", textOrNull(r.mac)},
        {"path", EscapedName(r.filePath)},
        {"size", r.fileSize >= 0 ? QJsonValue(r.fileSize) : QJsonValue()},
        {"sha256", textOrNull(QString::fromLatin1(r.sha256.toHex()))},
        {"kind", r.kind},
        {"crc16", r.crc16 >= 0 ? QJsonValue(r.crc16) : QJsonValue()},
        {"frames", r.frames},
        {"retries", r.retries},
        {"outcome", r.outcome},
        {"cause", textOrNull(r.cause)},
        {"reason_en", textOrNull(r.reasonEn)},
        {"reason_zh", textOrNull(r.reasonZh)},
        {"legacy_reason", textOrNull(r.legacyReason)},
    };
    // The escaped text cannot always be turned back into the name: the bytes can.
    if (QString::fromUtf8(r.filePath).toUtf8() != r.filePath)
        object.insert("path_base64", QString::fromLatin1(r.filePath.toBase64()));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

QString EscapedName(const QByteArray& name) {
    QString text;
    for (qsizetype i = 0; i < name.size();) {
        const qsizetype n = utf8Length(name, i);
        const auto byte = static_cast<unsigned char>(name[i]);
        if (n == 0) {
            text += hexEscape(byte);
            ++i;
            continue;
        }
        const QString character = QString::fromUtf8(name.mid(i, n));
        i += n;
        if (character == QLatin1String("\\"))
            text += QStringLiteral("\\\\");
        else if (character == QLatin1String("\n"))
            text += QStringLiteral("\\n");
        else if (character == QLatin1String("\t"))
            text += QStringLiteral("\\t");
        else if (character == QLatin1String("\r"))
            text += QStringLiteral("\\r");
        else if (character.size() == 1 && character[0].category() == QChar::Other_Control)
            // C0 and C1 controls, DEL: their UTF-8 bytes.
            for (const char b : name.mid(i - n, n))
                text += hexEscape(static_cast<unsigned char>(b));
        else
            text += character;
    }
    return text;
}

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
    // What an earlier run could only keep in the journal is listed too; a database still
    // unavailable is said below.
    const bool central = args.isSet("central");
    if (!central)
        (void)store.replayJournal();
    const Result<std::vector<HistoryRecord>> found =
        central ? CentralHistory(args, limit) : store.recent(limit);
    if (!found) {
        err.write(QStringLiteral("posflash-cli: cannot read the %1: %2\n")
                      .arg(central ? QStringLiteral("line's records")
                                   : QStringLiteral("download history"),
                           found.error().text));
        return kExitFailed;
    }
    const std::vector<HistoryRecord>& records = *found;
    if (args.isSet("json")) {
        QByteArray lines;
        for (const HistoryRecord& r : records)
            lines += jsonLineOf(r) + '\n';
        WriteReport(QString::fromUtf8(lines));
    } else if (records.empty()) {
        WriteReport(QStringLiteral("No downloads recorded in %1.\n")
                        .arg(central ? QStringLiteral("the line's records") : store.filePath()));
    } else {
        WriteReport(tableOf(records, args.value("lang") == "en"));
    }
    return kExitDone;
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
