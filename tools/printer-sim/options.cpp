#include "printer-sim/options.h"

#include <algorithm>

namespace posflash::sim {

namespace {

constexpr unsigned kMaxMs = 600000; // ten minutes: longer than any wait of the tool
constexpr unsigned kMaxCopies = 1000000;

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
        if (name == "--link" || name == "--out" || name == "--report") {
            if (value.isEmpty())
                return fail(QStringLiteral("%1 wants a path").arg(name));
            (name == "--link"  ? options.link
             : name == "--out" ? options.out
                               : options.report) = value;
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

    bool flag(const QString& name) {
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
    if (arguments.isEmpty() || arguments.first() != "serial") {
        result.error = arguments.isEmpty()
                           ? QStringLiteral("a mode is needed")
                           : QStringLiteral("unknown mode %1 (serial is the one there is)")
                                 .arg(arguments.first());
        return result;
    }

    Parser parser;
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
    if (parser.error.isEmpty())
        result.options = std::move(parser.options);
    result.error = parser.error;
    return result;
}

QString UsageText() {
    return QStringLiteral(
        "usage: posflash-printer-sim serial [--link PATH] [--out FILE] [--report FILE] [--once]\n"
        "                            [faults...]\n"
        "\n"
        "Plays a receipt printer's boot loader on a pseudo-terminal. The first line on stdout is\n"
        "\"PTY <slave path>\".\n"
        "\n"
        "  --link PATH          symlink PATH to the pseudo-terminal (an old symlink is replaced)\n"
        "  --out FILE           write the received image at each final frame\n"
        "  --report FILE        JSON report, rewritten at each final frame and on exit\n"
        "  --once               exit after the first completed session: 0, or 1 if errors\n"
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
        "  --think MS           wait MS milliseconds before every reply\n");
}

} // namespace posflash::sim
