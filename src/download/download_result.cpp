#include "download/download_result.h"

#include <array>
#include <utility>

namespace posflash {

namespace {

constexpr std::array<std::pair<Cause, const char*>, 29> kCauseNames{{
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
    {Cause::Busy, "busy"},
    {Cause::RecipeSignature, "recipe-signature"},
    {Cause::RecipeUntrustedKey, "recipe-untrusted-key"},
    {Cause::RecipeInvalid, "recipe-invalid"},
    {Cause::RecipeExpired, "recipe-expired"},
    {Cause::RecipeImage, "recipe-image"},
    {Cause::RecipeTarget, "recipe-target"},
    {Cause::RecipeLabel, "recipe-label"},
}};

} // namespace

QString CauseName(Cause cause) {
    for (const auto& [c, name] : kCauseNames)
        if (c == cause)
            return QString::fromLatin1(name);
    return QStringLiteral("none");
}

std::optional<Cause> CauseFromName(const QString& name) {
    for (const auto& [c, n] : kCauseNames)
        if (name == QLatin1String(n))
            return c;
    return std::nullopt;
}

QString OutcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::Completed:
        return QStringLiteral("completed");
    case Outcome::Cancelled:
        return QStringLiteral("cancelled");
    case Outcome::Refused:
        return QStringLiteral("refused");
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("failed");
}

} // namespace posflash
