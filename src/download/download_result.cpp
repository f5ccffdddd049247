#include "download/download_result.h"

#include "base/named_values.h"

namespace posflash {

namespace {

constexpr NamedValue<Cause> kCauseNames[] = {
    {Cause::None, "none"},
    {Cause::Cancelled, "cancelled"},
    {Cause::Stopped, "stopped"},
    {Cause::PrinterSilent, "printer-silent"},
    {Cause::PrinterRefused, "printer-refused"},
    {Cause::WrongFrameNumber, "wrong-frame-number"},
    {Cause::Disconnected, "disconnected"},
    {Cause::PortMissing, "port-missing"},
    {Cause::PortBusy, "port-busy"},
    {Cause::Permission, "permission"},
    {Cause::BindRefused, "bind-refused"},
    {Cause::LinkTimeout, "link-timeout"},
    {Cause::PrinterAbsent, "printer-absent"},
    {Cause::AddressMissing, "address-missing"},
    {Cause::BadAddress, "bad-address"},
    {Cause::FileNameTooLong, "file-name-too-long"},
    {Cause::MonitorUnreachable, "monitor-unreachable"},
    {Cause::FileNotOpen, "file-not-open"},
    {Cause::BadTrailer, "bad-trailer"},
    {Cause::TooLarge, "too-large"},
    {Cause::EmptyImage, "empty-image"},
    {Cause::ImageChanged, "image-changed"},
    {Cause::Busy, "busy"},
    {Cause::RecipeSignature, "recipe-signature"},
    {Cause::RecipeUntrustedKey, "recipe-untrusted-key"},
    {Cause::RecipeInvalid, "recipe-invalid"},
    {Cause::RecipeExpired, "recipe-expired"},
    {Cause::RecipeImage, "recipe-image"},
    {Cause::RecipeTarget, "recipe-target"},
    {Cause::RecipeLabel, "recipe-label"},
    {Cause::RecipeName, "recipe-name"},
    {Cause::RecipeRollback, "recipe-rollback"},
    {Cause::PortNotSerial, "port-not-serial"},
    {Cause::RecipeUnreadable, "recipe-unreadable"},
    {Cause::OutsideWindow, "outside-window"},
    {Cause::NotAnswering, "not-answering"},
    {Cause::NotBack, "not-back"},
};

constexpr NamedValue<Outcome> kOutcomeNames[] = {
    {Outcome::Completed, "completed"},
    {Outcome::Cancelled, "cancelled"},
    {Outcome::Refused, "refused"},
};

} // namespace

QString CauseName(Cause cause) {
    return QString::fromLatin1(NameIn(kCauseNames, cause, "none"));
}

std::optional<Cause> CauseFromName(const QString& name) {
    return ValueIn(kCauseNames, name);
}

QString OutcomeName(Outcome outcome) {
    return QString::fromLatin1(NameIn(kOutcomeNames, outcome, "failed"));
}

} // namespace posflash
