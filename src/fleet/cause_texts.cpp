#include "fleet/cause_texts.h"

#include "base/faces.h"
#include "fleet/recipe_gate.h"
#include "protocol/reply_checker.h"
#include "recipe/recipe_texts.h"

namespace posflash {

namespace {

// The words the multi-printer view has always used, and those of every outcome and cause.
constexpr const char* kViewContext = "MultiDownload";
constexpr const char* kCauseContext = "CliTexts";

} // namespace

QString CauseTexts::text(const char* english) const {
    return faces_.text(kViewContext, english);
}

QString CauseTexts::own(const char* english) const {
    return faces_.text(kCauseContext, english);
}

QString CauseTexts::unitRetry(int attempt, Cause failed) const {
    return own(QT_TRANSLATE_NOOP("CliTexts", "retrying the update, attempt %1, after %2"))
        .arg(attempt)
        .arg(CauseName(failed));
}

QString CauseTexts::outcome(Outcome outcome) const {
    switch (outcome) {
    case Outcome::Completed:
        return text(QT_TRANSLATE_NOOP("MultiDownload", "completed"));
    case Outcome::Cancelled:
        return text(QT_TRANSLATE_NOOP("MultiDownload", "cancelled"));
    case Outcome::Refused:
        return text(QT_TRANSLATE_NOOP("MultiDownload", "refused"));
    case Outcome::Failed:
        break;
    }
    return text(QT_TRANSLATE_NOOP("MultiDownload", "failed"));
}

QString CauseTexts::where(short step, int frame) const {
    switch (step) {
    case step::kStartFrame:
        return text(QT_TRANSLATE_NOOP("MultiDownload", "the start frame"));
    case step::kDataFrame:
        return text(QT_TRANSLATE_NOOP("MultiDownload", "frame %1")).arg(frame);
    case step::kEndFrame:
        return text(QT_TRANSLATE_NOOP("MultiDownload", "the end frame"));
    case step::kFinalFrame:
        return text(QT_TRANSLATE_NOOP("MultiDownload", "the final frame"));
    default:
        return text(QT_TRANSLATE_NOOP("MultiDownload", "the link"));
    }
}

QString CauseTexts::retry(short step, int frame, int attempt, int status) const {
    const QString at = where(step, frame);
    if (status == 0)
        return text(QT_TRANSLATE_NOOP("MultiDownload", "no answer to %1, attempt %2"))
            .arg(at)
            .arg(attempt);
    if (attempt == 0)
        return text(QT_TRANSLATE_NOOP("MultiDownload", "%1 refused (status %2)"))
            .arg(at)
            .arg(status);
    return text(QT_TRANSLATE_NOOP("MultiDownload", "%1 refused (status %2), attempt %3"))
        .arg(at)
        .arg(status)
        .arg(attempt);
}

QString CauseTexts::cause(Cause cause, short step, int frame, int attempts,
                          int linkTimeoutMs) const {
    switch (cause) {
    case Cause::None:
        return {};
    case Cause::Cancelled:
        return own(QT_TRANSLATE_NOOP("CliTexts",
                                     "cancelled by the user before the download was complete"));
    case Cause::Stopped:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts",
            "stopped at once: the printer may hold a partial image; download it again"));
    case Cause::PrinterSilent:
        return own(QT_TRANSLATE_NOOP("CliTexts", "the printer did not answer %1 (%2 attempts)"))
            .arg(where(step, frame))
            .arg(attempts);
    case Cause::PrinterRefused:
        return own(QT_TRANSLATE_NOOP("CliTexts", "the printer refused %1 (%2 attempts)"))
            .arg(where(step, frame))
            .arg(attempts);
    case Cause::WrongFrameNumber:
        return own(QT_TRANSLATE_NOOP("CliTexts", "the printer acknowledged another frame than %1"))
            .arg(where(step, frame));
    case Cause::Disconnected:
        return own(
            QT_TRANSLATE_NOOP("CliTexts", "the port or the connection to the printer went away"));
    case Cause::PortMissing:
        return own(QT_TRANSLATE_NOOP("CliTexts", "there is no such port"));
    case Cause::PortBusy:
        return own(QT_TRANSLATE_NOOP("CliTexts", "the port is open in another program"));
    case Cause::Permission:
        return own(QT_TRANSLATE_NOOP("CliTexts",
                                     "permission denied: the system refused access to the port"));
    case Cause::BindRefused:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts",
            "UDP port 67 or 69 could not be bound (another program holds it, or the tool "
            "lacks the right to bind it)"));
    case Cause::LinkTimeout:
        return own(QT_TRANSLATE_NOOP("CliTexts", "the boot loader did not answer within %1 s"))
            .arg(linkTimeoutMs / 1000);
    case Cause::PrinterAbsent:
        return own(QT_TRANSLATE_NOOP("CliTexts", "no printer's USB device is present"));
    case Cause::AddressMissing:
        return own(QT_TRANSLATE_NOOP("CliTexts", "the IP or the MAC address is empty"));
    case Cause::BadAddress:
        return own(QT_TRANSLATE_NOOP("CliTexts", "the IP or the MAC address is not valid"));
    case Cause::FileNameTooLong:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts", "the file's path is too long for the boot loader (at most 128 bytes)"));
    case Cause::MonitorUnreachable:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts", "the printer's running firmware did not answer on TCP port 4000, or closed "
                        "the connection"));
    case Cause::FileNotOpen:
        return own(QT_TRANSLATE_NOOP("CliTexts", "the file cannot be read"));
    case Cause::BadTrailer:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts", "the program's trailing checksum is wrong: this is not a firmware image"));
    case Cause::TooLarge:
        return own(
            QT_TRANSLATE_NOOP("CliTexts", "the image is too large for the boot loader's frames"));
    case Cause::EmptyImage:
        return own(QT_TRANSLATE_NOOP("CliTexts", "the file is empty"));
    case Cause::Busy:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts", "a download or boot-loader command already runs for this printer"));
    case Cause::RecipeSignature:
    case Cause::RecipeUntrustedKey:
    case Cause::RecipeInvalid:
    case Cause::RecipeExpired:
    case Cause::RecipeImage:
    case Cause::RecipeTarget:
    case Cause::RecipeLabel: {
        RecipeVerdict verdict;
        verdict.cause = RecipeCauseOf(cause);
        return RecipeTexts(faces_).cause(verdict);
    }
    }
    return {};
}

QString CauseTexts::remedy(Cause cause) const {
    switch (cause) {
    case Cause::None:
        return {};
    case Cause::Cancelled:
        return own(QT_TRANSLATE_NOOP("CliTexts", "start the download again when ready"));
    case Cause::Stopped:
        return own(
            QT_TRANSLATE_NOOP("CliTexts", "download the image again before using the printer"));
    case Cause::PrinterSilent:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts", "check the cable or the network, the printer's power, and that the printer "
                        "is in its boot loader"));
    case Cause::PrinterRefused:
        return own(QT_TRANSLATE_NOOP("CliTexts", "check that the image is meant for this printer"));
    case Cause::WrongFrameNumber:
        return own(
            QT_TRANSLATE_NOOP("CliTexts", "switch the printer off and on, then download again"));
    case Cause::Disconnected:
        return own(QT_TRANSLATE_NOOP("CliTexts", "reconnect the printer, then download again"));
    case Cause::PortMissing:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts",
            "see 'posflash-cli list' for the printers and COM numbers present, and check "
            "--port"));
    case Cause::PortBusy:
        return own(QT_TRANSLATE_NOOP("CliTexts", "close the other program that has the port open"));
    case Cause::Permission:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts",
            "install posflash's udev rule (60-posflash.rules, as the package does), or "
            "join the dialout group (sudo usermod -aG dialout $USER) and log in again"));
    case Cause::BindRefused:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts", "give posflash-bind-helper the right to bind them (sudo setcap "
                        "cap_net_bind_service+ep on it, as the package does), or stop the DHCP or "
                        "TFTP server that holds them"));
    case Cause::LinkTimeout:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts",
            "switch the printer into its boot loader (posflash-cli inboot) and try again"));
    case Cause::PrinterAbsent:
        return own(QT_TRANSLATE_NOOP("CliTexts",
                                     "plug the printer in, or name its device node with --port"));
    case Cause::AddressMissing:
        return own(QT_TRANSLATE_NOOP("CliTexts", "give both --ip and --mac"));
    case Cause::BadAddress:
        return own(
            QT_TRANSLATE_NOOP("CliTexts", "write them as 192.168.1.100 and 00-11-22-33-44-55"));
    case Cause::FileNameTooLong:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts", "move or rename the file so that its path is at most 128 bytes"));
    case Cause::MonitorUnreachable:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts", "check the address: the printer must be running its firmware"));
    case Cause::FileNotOpen:
        return own(QT_TRANSLATE_NOOP("CliTexts", "check the file's name and that it may be read"));
    case Cause::BadTrailer:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts", "the file is damaged or not a program image: get the firmware file again"));
    case Cause::TooLarge:
        return own(QT_TRANSLATE_NOOP(
            "CliTexts",
            "check that this is the right file: no boot loader takes an image this large"));
    case Cause::EmptyImage:
        return own(QT_TRANSLATE_NOOP("CliTexts", "choose the firmware file again"));
    case Cause::Busy:
        return own(QT_TRANSLATE_NOOP("CliTexts", "wait for the other download or command to end"));
    case Cause::RecipeSignature:
    case Cause::RecipeUntrustedKey:
    case Cause::RecipeInvalid:
    case Cause::RecipeExpired:
    case Cause::RecipeImage:
    case Cause::RecipeTarget:
    case Cause::RecipeLabel:
        return RecipeTexts(faces_).remedy(RecipeCauseOf(cause));
    }
    return {};
}

QString CauseTexts::remedyLine(Cause cause) const {
    const QString what = remedy(cause);
    return what.isEmpty() ? QString()
                          : own(QT_TRANSLATE_NOOP("CliTexts", "what to do: %1")).arg(what);
}

QString CauseTexts::endLine(const DownloadResult& result, int linkTimeoutMs) const {
    // A cancel's code would only say the outcome again: "cancelled: cancelled by the user …".
    const QString code = result.cause == Cause::Cancelled
                             ? QString()
                             : CauseName(result.cause) + QStringLiteral(" — ");
    QString line = outcome(result.outcome) + QStringLiteral(": ") + code +
                   cause(result.cause, result.step, result.frame, result.attempts, linkTimeoutMs);
    if (!result.error.detail.isEmpty())
        line += QStringLiteral(" (") + result.error.detail + QLatin1Char(')');
    return line;
}

} // namespace posflash
