#include "unit/cause_texts.h"

#include "base/faces.h"
#include "base/named_values.h"
#include "protocol/reply_checker.h"
#include "recipe/recipe_texts.h"
#include "unit/recipe_gate.h"

namespace posflash {

namespace {

// The words the multi-printer view has always used, and those of every outcome and cause.
constexpr const char* kViewContext = "MultiDownload";
constexpr const char* kCauseContext = "CliTexts";

constexpr NamedValue<Outcome> kOutcomeWords[] = {
    {Outcome::Completed, QT_TRANSLATE_NOOP("MultiDownload", "completed")},
    {Outcome::Cancelled, QT_TRANSLATE_NOOP("MultiDownload", "cancelled")},
    {Outcome::Refused, QT_TRANSLATE_NOOP("MultiDownload", "refused")},
    {Outcome::Failed, QT_TRANSLATE_NOOP("MultiDownload", "failed")},
};

// Why, and what to do, for each cause of our own; a recipe's causes have the recipe's words.
constexpr ExplainedValue<Cause> kCauseWords[] = {
    {Cause::Cancelled,
     QT_TRANSLATE_NOOP("CliTexts", "cancelled by the user before the download was complete"),
     QT_TRANSLATE_NOOP("CliTexts", "start the download again when ready")},
    {Cause::Stopped,
     QT_TRANSLATE_NOOP("CliTexts",
                       "stopped at once: the printer may hold a partial image; download it again"),
     QT_TRANSLATE_NOOP("CliTexts", "download the image again before using the printer")},
    {Cause::PrinterSilent,
     QT_TRANSLATE_NOOP("CliTexts", "the printer did not answer %1 (sent %2 times)"),
     QT_TRANSLATE_NOOP("CliTexts", "check the cable or the network, the printer's power, and that "
                                   "the printer is in its boot loader")},
    {Cause::PrinterRefused, QT_TRANSLATE_NOOP("CliTexts", "the printer refused %1 (sent %2 times)"),
     QT_TRANSLATE_NOOP("CliTexts", "check that the image is meant for this printer")},
    {Cause::WrongFrameNumber,
     QT_TRANSLATE_NOOP("CliTexts", "the printer acknowledged another frame than %1"),
     QT_TRANSLATE_NOOP("CliTexts", "switch the printer off and on, then download again")},
    {Cause::Disconnected,
     QT_TRANSLATE_NOOP("CliTexts", "the port or the connection to the printer went away"),
     QT_TRANSLATE_NOOP("CliTexts", "reconnect the printer, then download again")},
    {Cause::PortMissing, QT_TRANSLATE_NOOP("CliTexts", "there is no such port"),
     QT_TRANSLATE_NOOP(
         "CliTexts",
         "see 'posflash-cli list' for the printers and COM numbers present, and check --port")},
    {Cause::PortNotSerial, QT_TRANSLATE_NOOP("CliTexts", "the port is not a serial line"),
     QT_TRANSLATE_NOOP("CliTexts", "name the printer's serial port (see 'posflash-cli list'), not "
                                   "a file or another kind of device")},
    {Cause::PortBusy, QT_TRANSLATE_NOOP("CliTexts", "the port is open in another program"),
     QT_TRANSLATE_NOOP("CliTexts", "close the other program that has the port open")},
    {Cause::Permission,
     QT_TRANSLATE_NOOP("CliTexts", "permission denied: the system refused access to the port"),
     QT_TRANSLATE_NOOP("CliTexts",
                       "install posflash's udev rule (60-posflash.rules, as the package does), or "
                       "join the dialout group (sudo usermod -aG dialout $USER) and log in again")},
    {Cause::BindRefused,
     QT_TRANSLATE_NOOP("CliTexts", "UDP port 67 or 69 could not be bound (another program holds "
                                   "it, or the tool lacks the right to bind it)"),
     QT_TRANSLATE_NOOP(
         "CliTexts",
         "give posflash-bind-helper the right to bind them (sudo setcap cap_net_bind_service+ep on "
         "it, as the package does), or stop the DHCP or TFTP server that holds them")},
    {Cause::LinkTimeout,
     QT_TRANSLATE_NOOP("CliTexts", "the boot loader did not answer within %1 s"),
     QT_TRANSLATE_NOOP(
         "CliTexts",
         "switch the printer into its boot loader (posflash-cli inboot) and try again")},
    {Cause::PrinterAbsent, QT_TRANSLATE_NOOP("CliTexts", "no printer's USB device is present"),
     QT_TRANSLATE_NOOP("CliTexts", "plug the printer in, or name its device node with --port")},
    {Cause::AddressMissing, QT_TRANSLATE_NOOP("CliTexts", "the IP or the MAC address is empty"),
     QT_TRANSLATE_NOOP("CliTexts", "give both --ip and --mac")},
    {Cause::BadAddress, QT_TRANSLATE_NOOP("CliTexts", "the IP or the MAC address is not valid"),
     QT_TRANSLATE_NOOP("CliTexts", "write them as 192.168.1.100 and 00-11-22-33-44-55")},
    {Cause::FileNameTooLong,
     QT_TRANSLATE_NOOP("CliTexts",
                       "the file's path is too long for the boot loader (at most 128 bytes)"),
     QT_TRANSLATE_NOOP("CliTexts",
                       "move or rename the file so that its path is at most 128 bytes")},
    {Cause::MonitorUnreachable,
     QT_TRANSLATE_NOOP("CliTexts", "the printer's running firmware did not answer on TCP port "
                                   "4000, or closed the connection"),
     QT_TRANSLATE_NOOP("CliTexts", "check the address: the printer must be running its firmware")},
    {Cause::FileNotOpen, QT_TRANSLATE_NOOP("CliTexts", "the file cannot be read"),
     QT_TRANSLATE_NOOP("CliTexts", "check the file's name and that it may be read")},
    {Cause::BadTrailer,
     QT_TRANSLATE_NOOP("CliTexts",
                       "the program's trailing checksum is wrong: this is not a firmware image"),
     QT_TRANSLATE_NOOP("CliTexts",
                       "the file is damaged or not a program image: get the firmware file again")},
    {Cause::TooLarge,
     QT_TRANSLATE_NOOP("CliTexts", "the image is too large for the boot loader's frames"),
     QT_TRANSLATE_NOOP(
         "CliTexts",
         "check that this is the right file: no boot loader takes an image this large")},
    {Cause::EmptyImage, QT_TRANSLATE_NOOP("CliTexts", "the file is empty"),
     QT_TRANSLATE_NOOP("CliTexts", "choose the firmware file again")},
    {Cause::ImageChanged,
     QT_TRANSLATE_NOOP("CliTexts", "the image file changed after it was checked"),
     QT_TRANSLATE_NOOP("CliTexts", "put the checked file back, or start again (a new shift) so "
                                   "that the new file is checked")},
    {Cause::Busy,
     QT_TRANSLATE_NOOP("CliTexts",
                       "a download or boot-loader command already runs for this printer"),
     QT_TRANSLATE_NOOP("CliTexts", "wait for the other download or command to end")},
    {Cause::OutsideWindow,
     QT_TRANSLATE_NOOP("CliTexts", "now is outside the store's maintenance window: nothing was "
                                   "sent"),
     QT_TRANSLATE_NOOP("CliTexts", "nothing to do: the next run inside the window updates it")},
    {Cause::NotAnswering,
     QT_TRANSLATE_NOOP("CliTexts", "the printer did not answer, neither its firmware nor its "
                                   "boot loader: nothing was sent"),
     QT_TRANSLATE_NOOP("CliTexts", "check that the printer is switched on and connected; the next "
                                   "run tries it again")},
    {Cause::NotBack,
     QT_TRANSLATE_NOOP("CliTexts", "the printer did not answer again after its update"),
     QT_TRANSLATE_NOOP("CliTexts", "check the printer at the store: switch it off and on; if it "
                                   "stays silent, load an earlier approved image into it through "
                                   "its boot loader")},
};

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
    return text(NameIn(kOutcomeWords, outcome, "failed"));
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
    // The frame's first send is no resend: the send about to be made is resend attempt - 1.
    const QString at = where(step, frame);
    if (status == 0)
        return text(QT_TRANSLATE_NOOP("MultiDownload", "no answer to %1, resend %2"))
            .arg(at)
            .arg(attempt - 1);
    if (attempt == 0)
        return text(QT_TRANSLATE_NOOP("MultiDownload", "%1 refused (status %2)"))
            .arg(at)
            .arg(status);
    return text(QT_TRANSLATE_NOOP("MultiDownload", "%1 refused (status %2), resend %3"))
        .arg(at)
        .arg(status)
        .arg(attempt - 1);
}

QString CauseTexts::cause(Cause cause, short step, int frame, int sends, int linkTimeoutMs) const {
    if (const RecipeCause recipe = RecipeCauseOf(cause); recipe != RecipeCause::None)
        return RecipeTexts(faces_).cause(RecipeRefusal(recipe));
    const ExplainedValue<Cause>* words = EntryFor(kCauseWords, cause);
    if (!words)
        return {};
    const QString why = own(words->why);
    switch (cause) {
    case Cause::PrinterSilent:
    case Cause::PrinterRefused:
        return why.arg(where(step, frame)).arg(sends);
    case Cause::WrongFrameNumber:
        return why.arg(where(step, frame));
    case Cause::LinkTimeout:
        return why.arg(linkTimeoutMs / 1000);
    default:
        return why;
    }
}

QString CauseTexts::remedy(Cause cause) const {
    if (const RecipeCause recipe = RecipeCauseOf(cause); recipe != RecipeCause::None)
        return RecipeTexts(faces_).remedy(recipe);
    const ExplainedValue<Cause>* words = EntryFor(kCauseWords, cause);
    return words ? own(words->remedy) : QString();
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
