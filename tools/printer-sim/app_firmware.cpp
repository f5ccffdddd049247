#include "printer-sim/app_firmware.h"

#include <algorithm>

namespace posflash::sim {

namespace {

enum class Match { None, Partial, Whole };

Match match(ByteView bytes, const std::array<std::uint8_t, 11>& command) {
    const std::size_t n = std::min(bytes.size(), command.size());
    if (!std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), command.begin()))
        return Match::None;
    return n == command.size() ? Match::Whole : Match::Partial;
}

} // namespace

AppSession::AppSession(int echoLength, bool silent)
    : echoLength_(std::clamp(echoLength, 0, static_cast<int>(kBootCommand.size()))),
      silent_(silent) {}

Bytes FontModeConfirmation() {
    return BuildReply(kAccepted, kFontModeKind, kFontModeCode, std::uint16_t{0});
}

AppStep AppSession::feed(ByteView chunk) {
    AppStep step;
    if (fontMode_) {
        step.fontDownload.assign(chunk.begin(), chunk.end());
        return step;
    }
    pending_.insert(pending_.end(), chunk.begin(), chunk.end());
    const ByteView all(pending_);
    std::size_t pos = 0;
    while (pos < all.size()) {
        const ByteView rest = all.subspan(pos);
        const Match boot = match(rest, kBootCommand);
        const Match font = match(rest, kFontModeCommand);
        if (boot == Match::Whole) {
            ++step.bootCommands;
            if (!silent_)
                step.answer.insert(step.answer.end(), kBootCommand.begin(),
                                   kBootCommand.begin() + echoLength_);
            pos += kBootCommand.size();
        } else if (font == Match::Whole) {
            fontMode_ = true;
            step.enteredFontMode = true;
            if (!silent_) {
                const Bytes confirmation = FontModeConfirmation();
                step.answer.insert(step.answer.end(), confirmation.begin(), confirmation.end());
            }
            step.fontDownload.assign(rest.begin() + kFontModeCommand.size(), rest.end());
            pos = all.size();
        } else if (boot == Match::Partial || font == Match::Partial) {
            break; // the rest of the command is still on its way
        } else {
            ++pos; // not a command the firmware knows
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pos));
    return step;
}

} // namespace posflash::sim
