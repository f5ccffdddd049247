#include "cli/check_command.h"

#include "base/faces.h"
#include "cli/exit_codes.h"
#include "cli/input_checks.h"
#include "cli/report_output.h"
#include "cli/terminal_output.h"
#include "download/image_verdict.h"
#include "history/text_forms.h"
#include "protocol/checksums.h"
#include "protocol/frames.h"
#include "protocol/image_file.h"
#include "unit/cause_texts.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace posflash {
namespace {

// What is known of the file, as far as it could be read.
struct FileFindings {
    QString file;
    bool font = false;
    int frameBytes = 0;
    std::optional<qint64> size;
    std::optional<int> frames;
    std::optional<bool> trailerSum; // programs only
    std::optional<int> crc16;
    QString reason; // empty when it would be sent
    Cause cause = Cause::None;
};

FileFindings judge(const QString& shown, const QString& path, bool font, const Faces& faces) {
    FileFindings v;
    v.file = shown;
    v.font = font;
    const ImageKind kind = ImageKindOf(font);
    v.frameBytes = FrameDataSizeOf(kind);
    const Result<SharedImage> loaded = LoadImage(path, kind);
    // In the command line's own words, as a download refusing the file says them.
    if (const auto refused = JudgeImage(faces, loaded, shown, kind)) {
        const QString own = CauseTexts(faces).cause(refused->cause, 0, 0, 0);
        v.reason = own.isEmpty() ? refused->text : own;
        v.cause = refused->cause;
    }
    if (!loaded.ok())
        return v;
    const Bytes& image = (*loaded)->bytes;
    v.size = static_cast<qint64>(image.size());
    if (CheckImageFrameable(image.size(), v.frameBytes) == ImageProblem::None) {
        v.frames = static_cast<int>(DataFrameCount(image.size(), v.frameBytes));
        v.crc16 = GetCRC16(image);
    }
    if (!font)
        v.trailerSum = CheckBinImageValid(image);
    return v;
}

template <typename T>
QJsonValue orNull(const std::optional<T>& value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

QString jsonOf(const FileFindings& v) {
    const QJsonObject object{
        {"event", "check"},
        {"file", v.file},
        {"kind", v.font ? "font" : "program"},
        {"size", orNull(v.size)},
        {"frames", orNull(v.frames)},
        {"frame_bytes", v.frameBytes},
        {"trailer_sum", orNull(v.trailerSum)},
        {"crc16", orNull(v.crc16)},
        {"sendable", v.reason.isEmpty()},
        {"outcome", v.reason.isEmpty() ? "sendable" : "refused"},
        {"cause", CauseName(v.cause)},
        {"reason", v.reason.isEmpty() ? QJsonValue() : QJsonValue(v.reason)},
    };
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + '\n';
}

QString textOf(const FileFindings& v, const CauseTexts& texts) {
    const auto line = [](const char* name, const QString& value) {
        return Column(QString::fromLatin1(name) + QLatin1Char(':'), 14) + value + '\n';
    };
    QString text = line("file", v.file) + line("kind", v.font ? "font" : "program");
    if (v.size)
        text += line("size", QStringLiteral("%1 bytes").arg(*v.size));
    if (v.frames)
        text +=
            line("data frames", QStringLiteral("%1 of %2 bytes").arg(*v.frames).arg(v.frameBytes));
    if (v.trailerSum)
        text += line("trailer sum", *v.trailerSum ? "correct" : "wrong");
    else if (v.font)
        text += line("trailer sum", "not required for a font");
    if (v.crc16)
        text +=
            line("CRC-16",
                 QStringLiteral("0x%1").arg(
                     QString::number(*v.crc16, 16).toUpper().rightJustified(4, QLatin1Char('0'))));
    if (v.reason.isEmpty())
        return text + QStringLiteral("would be sent\n");
    text += QStringLiteral("refused: %1 — %2\n").arg(CauseName(v.cause), v.reason);
    if (const QString remedy = texts.remedyLine(v.cause); !remedy.isEmpty())
        text += remedy + QLatin1Char('\n');
    return text;
}

} // namespace

int CheckCommand(const CliArguments& args, const std::vector<QByteArray>& rawArguments,
                 TerminalOutput& err) {
    const QStringList positional = args.positionalArguments();
    if (positional.size() != 2) {
        err.write(QStringLiteral("posflash-cli: check needs exactly one FILE\n"));
        return kExitUsage;
    }
    Faces faces;
    faces.setUseEnglish(args.value("lang") == "en");
    const CauseTexts texts(faces);
    const auto image = ImageArgument::open(positional[1], rawArguments);
    if (!image) {
        // A folder, a missing file: refused like a file that cannot be read, with its reason.
        FileFindings v;
        v.file = positional[1];
        v.font = args.isSet("font");
        v.frameBytes = FrameDataSizeOf(ImageKindOf(v.font));
        v.reason = image.error().text;
        v.cause = Cause::FileNotOpen;
        err.write(QStringLiteral("posflash-cli: %1\n").arg(image.error().text));
        if (args.isSet("json"))
            WriteReport(jsonOf(v));
        else
            err.write(texts.remedyLine(v.cause) + QLatin1Char('\n'));
        return kExitUsage;
    }
    // Texts show the name escaped; the JSON keeps it as given (JSON escapes it itself).
    FileFindings v = judge(EscapedName(image->name()), image->path(), args.isSet("font"), faces);
    if (args.isSet("json"))
        v.file = positional[1];
    WriteReport(args.isSet("json") ? jsonOf(v) : textOf(v, texts));
    return v.reason.isEmpty() ? kExitCompleted : kExitUsage;
}

} // namespace posflash
