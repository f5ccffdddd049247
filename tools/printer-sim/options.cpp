#include "printer-sim/options.h"

#include "printer-sim/app_firmware.h"

#include <QMap>

#include <algorithm>

namespace posflash::sim {

namespace {

constexpr unsigned kMaxMs = 600000; // ten minutes: longer than any wait of the tool
constexpr unsigned kMaxCopies = 1000000;
constexpr unsigned kMaxExtraRequests = 100;
constexpr unsigned kMaxReplyPadding = 65536;
constexpr unsigned kMinBaud = 50;
constexpr unsigned kMaxBaud = 4000000;

// Plain decimal digits only: no sign, no spaces, no hex.
std::optional<unsigned> number(const QString& text, unsigned low, unsigned high) {
    if (text.isEmpty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](QChar c) {
            return c.isDigit() && c.unicode() < 128;
        }))
        return std::nullopt;
    const unsigned value = text.toUInt();
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<std::uint16_t> frameNumber(const QString& text) {
    const auto value = number(text, 1, 0xFFFF);
    if (!value)
        return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

struct Parser {
    Options options;
    QString error;

    bool fail(const QString& text) {
        if (error.isEmpty())
            error = text;
        return false;
    }

    // K:N, the fault hitting the first N copies of data frame K.
    bool framesAndCopies(const QString& name, const QStringList& parts, bool copiesOptional,
                         std::map<std::uint16_t, int>& into) {
        const bool sizeOk = parts.size() == 2 || (copiesOptional && parts.size() == 1);
        const auto frame = sizeOk ? frameNumber(parts[0]) : std::nullopt;
        const auto copies = parts.size() == 2 ? number(parts[1], 1, kMaxCopies) : std::optional(1u);
        if (!frame || !copies)
            return fail(QStringLiteral("%1 wants %2").arg(name, copiesOptional ? "K[:N]" : "K:N"));
        into[*frame] = static_cast<int>(*copies);
        return true;
    }

    bool option(const QString& name, const QString& value) {
        const QStringList parts = value.split(QLatin1Char(':'));
        Faults& f = options.faults;
        if (!belongsToMode(name))
            return false;
        NetOptions& net = options.net;
        if (name == "--link" || name == "--out" || name == "--report") {
            if (value.isEmpty())
                return fail(QStringLiteral("%1 wants a path").arg(name));
            (name == "--link"  ? options.link
             : name == "--out" ? options.out
                               : options.report) = value;
        } else if (name == "--ip" || name == "--host") {
            const auto ip = ParseIpv4(value);
            if (!ip)
                return fail(
                    QStringLiteral("%1 wants an address A.B.C.D, each part 0 to 255").arg(name));
            (name == "--ip" ? net.ip : net.host) = ip;
        } else if (name == "--mac") {
            net.mac = ParseMac(value);
            if (!net.mac)
                return fail(QStringLiteral("--mac wants six hexadecimal pairs joined by \"-\""));
        } else if (name == "--brand") {
            if (value.size() > static_cast<qsizetype>(kSnameSize) ||
                !std::all_of(value.begin(), value.end(),
                             [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; }))
                return fail(QStringLiteral("--brand wants up to %1 printable ASCII characters")
                                .arg(kSnameSize));
            net.brand = value.toLatin1();
        } else if (name == "--bootp-length") {
            const auto length = number(value, 1, kLargestBootpSize);
            if (!length)
                return fail(QStringLiteral("--bootp-length wants 1 to %1").arg(kLargestBootpSize));
            net.bootpLength = *length;
        } else if (name == "--requests-after-reply") {
            const auto count = number(value, 0, kMaxExtraRequests);
            if (!count)
                return fail(
                    QStringLiteral("--requests-after-reply wants 0 to %1").arg(kMaxExtraRequests));
            net.requestsAfterReply = static_cast<int>(*count);
        } else if (name == "--echo") {
            const auto length = number(value, 0, kBootCommand.size());
            if (!length || (*length != 0 && *length != 9 && *length != 10))
                return fail(QStringLiteral("--echo wants 9, 10 or 0"));
            net.echo = static_cast<int>(*length);
        } else if (name == "--pad-replies") {
            const auto length = number(value, 0, kMaxReplyPadding);
            if (!length)
                return fail(QStringLiteral("--pad-replies wants 0 to %1").arg(kMaxReplyPadding));
            net.replyPadding = *length;
        } else if (name == "--font-mode-hangup") {
            if (value != "close" && value != "reset")
                return fail(QStringLiteral("--font-mode-hangup wants close or reset"));
            net.fontModeHangup =
                value == "close" ? NetOptions::Hangup::Close : NetOptions::Hangup::Reset;
        } else if (name == "--restart-into-app") {
            const auto ms = value == "never" ? std::optional(0u) : number(value, 0, kMaxMs);
            if (!ms)
                return fail(QStringLiteral("--restart-into-app wants milliseconds, 0 to %1, or "
                                           "never")
                                .arg(kMaxMs));
            net.restartIntoAppMs = value == "never" ? -1 : static_cast<int>(*ms);
        } else if (name == "--baud") {
            const auto baud = number(value, kMinBaud, kMaxBaud);
            if (!baud)
                return fail(QStringLiteral("--baud wants bits per second, %1 to %2")
                                .arg(kMinBaud)
                                .arg(kMaxBaud));
            options.baud = static_cast<int>(*baud);
        } else if (name == "--refuse") {
            const auto frame = parts.size() == 3 ? frameNumber(parts[0]) : std::nullopt;
            const auto status = parts.size() == 3 ? number(parts[1], 5, 6) : std::nullopt;
            const auto copies = parts.size() == 3 ? number(parts[2], 1, kMaxCopies) : std::nullopt;
            if (!frame || !status || !copies)
                return fail(QStringLiteral("--refuse wants K:S:N with S 5 or 6"));
            f.refuse[*frame] = {static_cast<std::uint8_t>(*status), static_cast<int>(*copies)};
        } else if (name == "--late") {
            const auto frame = parts.size() == 2 ? frameNumber(parts[0]) : std::nullopt;
            const auto ms = parts.size() == 2 ? number(parts[1], 0, kMaxMs) : std::nullopt;
            if (!frame || !ms)
                return fail(QStringLiteral("--late wants K:MS"));
            f.lateMs[*frame] = static_cast<int>(*ms);
        } else if (name == "--wrong-no") {
            return framesAndCopies(name, parts, true, f.wrongNo);
        } else if (name == "--drop") {
            return framesAndCopies(name, parts, false, f.drop);
        } else if (name == "--split" || name == "--think") {
            const auto ms = number(value, 0, kMaxMs);
            if (!ms)
                return fail(QStringLiteral("%1 wants milliseconds, 0 to %2").arg(name).arg(kMaxMs));
            if (name == "--split")
                f.splitMs = static_cast<int>(*ms);
            else
                f.thinkMs = static_cast<int>(*ms);
        } else if (name == "--faulty-sessions") {
            const auto count = number(value, 1, kMaxCopies);
            if (!count)
                return fail(QStringLiteral("--faulty-sessions wants a count from 1"));
            f.sessions = static_cast<int>(*count);
        } else if (name == "--disconnect-after") {
            const auto frame = frameNumber(value);
            if (!frame)
                return fail(QStringLiteral("--disconnect-after wants a data frame number"));
            f.disconnectAfter = *frame;
        } else {
            return fail(QStringLiteral("unknown option %1").arg(name));
        }
        return true;
    }

    // Options that only one mode or two know; every other option belongs to all three.
    bool belongsToMode(const QString& name) {
        static const QMap<QString, QList<Mode>> owners{
            {"--link", {Mode::Serial}},
            {"--baud", {Mode::Serial}},
            {"--ip", {Mode::Net, Mode::App}},
            {"--mac", {Mode::Net}},
            {"--brand", {Mode::Net}},
            {"--bootp-length", {Mode::Net}},
            {"--requests-after-reply", {Mode::Net}},
            {"--greet", {Mode::Net}},
            {"--running", {Mode::Net}},
            {"--host", {Mode::Net}},
            {"--restart-into-app", {Mode::Net}},
            {"--echo", {Mode::App}},
            {"--pad-replies", {Mode::App}},
            {"--font-mode-hangup", {Mode::App}},
        };
        const auto it = owners.find(name);
        if (it == owners.end() || it->contains(options.mode))
            return true;
        return fail(QStringLiteral("%1 does not belong to %2 mode").arg(name, modeName()));
    }

    QString modeName() const {
        switch (options.mode) {
        case Mode::Serial:
            return QStringLiteral("serial");
        case Mode::Net:
            return QStringLiteral("net");
        case Mode::App:
            return QStringLiteral("app");
        }
        return {};
    }

    // What a mode cannot go without.
    bool complete() {
        const NetOptions& net = options.net;
        if (options.mode == Mode::Serial)
            return true;
        if (!net.ip)
            return fail(QStringLiteral("%1 mode wants --ip").arg(modeName()));
        if (options.mode == Mode::Net && net.greet && !net.host)
            return fail(QStringLiteral("--greet wants --host, where the greeting goes"));
        if (options.mode == Mode::Net && !net.greet && net.host)
            return fail(QStringLiteral("--host goes with --greet"));
        if (options.mode == Mode::Net && !net.greet && !net.mac)
            return fail(QStringLiteral("net mode wants --mac (or --greet)"));
        if (net.running && !net.restartIntoAppMs)
            return fail(QStringLiteral("--running goes with --restart-into-app"));
        return true;
    }

    bool flag(const QString& name) {
        if (name == "--greet" || name == "--running") {
            if (belongsToMode(name))
                (name == "--greet" ? options.net.greet : options.net.running) = true;
            return true;
        }
        if (name == "--once")
            options.once = true;
        else if (name == "--silent")
            options.faults.silent = true;
        else if (name == "--noise")
            options.faults.noise = true;
        else
            return false;
        return true;
    }
};

} // namespace

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
    ParsedCommandLine result;
    if (arguments.contains("--help") || arguments.contains("-h")) {
        result.help = true;
        return result;
    }
    if (arguments.contains("--version")) {
        result.version = true;
        return result;
    }
    static const QMap<QString, Mode> modes{
        {"serial", Mode::Serial}, {"net", Mode::Net}, {"app", Mode::App}};
    if (arguments.isEmpty() || !modes.contains(arguments.first())) {
        result.error =
            arguments.isEmpty()
                ? QStringLiteral("a mode is needed")
                : QStringLiteral("unknown mode %1 (serial, net or app)").arg(arguments.first());
        return result;
    }

    Parser parser;
    parser.options.mode = modes.value(arguments.first());
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name = arguments[i];
        std::optional<QString> value;
        if (const auto eq = name.indexOf(QLatin1Char('=')); name.startsWith("--") && eq > 2) {
            value = name.mid(eq + 1);
            name.truncate(eq);
        }
        if (parser.flag(name)) {
            if (value) {
                parser.fail(QStringLiteral("%1 takes no value").arg(name));
                break;
            }
            continue;
        }
        if (!name.startsWith("--")) {
            parser.fail(QStringLiteral("unexpected argument %1").arg(name));
            break;
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                parser.fail(QStringLiteral("%1 wants a value").arg(name));
                break;
            }
            value = arguments[++i];
        }
        if (!parser.option(name, *value))
            break;
    }
    if (parser.error.isEmpty() && parser.complete())
        result.options = std::move(parser.options);
    result.error = parser.error;
    return result;
}

QString UsageText() {
    return QStringLiteral(
        "usage: posflash-printer-sim serial [--link PATH] [--baud N] [common options]\n"
        "                            [faults...]\n"
        "       posflash-printer-sim net --ip A.B.C.D --mac XX-XX-XX-XX-XX-XX [--brand WORD]\n"
        "                            [--bootp-length N] [--requests-after-reply N]\n"
        "                            [--restart-into-app MS|never [--running]]\n"
        "                            [common options] [faults...]\n"
        "       posflash-printer-sim net --ip A.B.C.D --greet --host A.B.C.D\n"
        "                            [common options] [faults...]\n"
        "       posflash-printer-sim app --ip A.B.C.D [--echo 9|10|0] [--pad-replies N]\n"
        "                            [--font-mode-hangup close|reset] [common options]\n"
        "                            [faults...]\n"
        "       posflash-printer-sim --help | --version\n"
        "\n"
        "serial: a receipt printer's boot loader on a pseudo-terminal. The first line on stdout\n"
        "is \"PTY <slave path>\".\n"
        "  --link PATH          symlink PATH to the pseudo-terminal (an old symlink is replaced)\n"
        "  --baud N             a line of N bits per second, 8N1 (10 bits a byte), in both\n"
        "                       directions: a frame reaches the boot loader once its last byte\n"
        "                       has crossed, a reply reaches the tool once its own bytes have.\n"
        "                       The report's \"wire\" gives the bytes each way, the wire time of\n"
        "                       them all and the time from the first byte received to the last\n"
        "                       sent. Without it the line has no speed.\n"
        "\n"
        "net: the boot loader on Ethernet. It broadcasts a framed BOOTP request from UDP port 68\n"
        "to 255.255.255.255:67 every second until a reply on port 68 names it, checks the reply,\n"
        "sends one datagram from port 13633 to the server's port 69, and answers every frame\n"
        "datagram on port 13633 to its sender. A reply without the prefix, op 2, the printer's\n"
        "xid and MAC and a plausible siaddr is not taken (the printer keeps asking); every\n"
        "deviation from the request is an error in the report. Broadcasts leave through every\n"
        "broadcast-capable interface that is up, or through loopback when there is none: run it\n"
        "only in a network namespace of its own. The first line on stdout is \"READY\" once the\n"
        "ports are bound.\n"
        "  --ip A.B.C.D         the printer's address (the namespace's interface must carry it)\n"
        "  --mac XX-..-XX       its hardware address, sent in chaddr\n"
        "  --brand WORD         the word in sname (default V-ORBIT), at most 64 characters\n"
        "  --bootp-length N     request length in bytes, 1 to 1472 (default 304)\n"
        "  --requests-after-reply N  broadcast N more requests once answered (default 0)\n"
        "  --greet              no BOOTP: send a status-1 frame from port 13633 to --host port 69\n"
        "                       every second until the first frame datagram arrives\n"
        "  --host A.B.C.D       where the greeting goes\n"
        "  --restart-into-app MS|never  restart as a printer does after a completed download:\n"
        "                       the boot loader stops answering, and the firmware answers on\n"
        "                       TCP port 4000 (as app mode, \"APP\" on stdout) MS ms later, or\n"
        "                       never; a boot-loader command to it brings the boot loader back\n"
        "                       (\"BOOT LOADER\") once its connection closes\n"
        "  --running            start as a printer switched on: its firmware answers on TCP\n"
        "                       port 4000 (\"APP\" after READY), its boot loader is silent\n"
        "\n"
        "app: the application firmware on TCP port 4000. It counts the boot command, echoes it\n"
        "if asked, and answers the font-mode command, then serves a font download on that\n"
        "connection. The first line on stdout is \"READY\" once the port listens.\n"
        "  --ip A.B.C.D         the printer's address; connections to another one are errors\n"
        "  --echo N             send back the first N (9 or 10) bytes of each boot command;\n"
        "                       0, the default, sends nothing\n"
        "  --pad-replies N      write N zero bytes before each reply of the font download, in\n"
        "                       the same write (with 1024, only a tool that cuts what it\n"
        "                       receives into 1024-byte pieces finds the reply)\n"
        "  --font-mode-hangup close|reset  answer the font-mode command by closing the\n"
        "                       connection (FIN) or resetting it (RST) instead of confirming\n"
        "\n"
        "common options:\n"
        "  --out FILE           write the received image at each final frame\n"
        "  --report FILE        JSON report, rewritten at each final frame and on exit\n"
        "  --once               exit 0.1 s after the first completed session: 0, or 1 if errors\n"
        "\n"
        "faults (combinable; K is a data frame number, N a count of copies of it):\n"
        "  --silent             never answer\n"
        "  --refuse K:S:N       answer the first N copies of K with status S (5 or 6)\n"
        "  --late K:MS          answer every copy of K MS milliseconds after it arrived\n"
        "  --wrong-no K[:N]     acknowledge the first N (1) copies of K with FrameNo K-1\n"
        "  --drop K:N           do not answer the first N copies of K\n"
        "  --split MS           send each reply in two writes (5 bytes, the rest) MS apart\n"
        "  --noise              write 3 garbage bytes 20 ms before each reply\n"
        "  --disconnect-after K close the line after answering K, exit 0\n"
        "  --think MS           wait MS milliseconds before every reply\n"
        "  --faulty-sessions N  --silent, --refuse, --late, --wrong-no and --drop hit only the\n"
        "                       first N sessions (start frames); later ones are answered well\n");
}

} // namespace posflash::sim
