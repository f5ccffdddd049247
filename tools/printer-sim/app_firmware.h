#pragma once

#include "printer-sim/wire.h"

#include <array>
#include <cstdint>

namespace posflash::sim {

// Restart into the boot loader: the frame prefix, FFh, "boot", 08h, 0Ah.
inline constexpr std::array<std::uint8_t, 11> kBootCommand{0x1F, 0x1B, 0x1C, 0x06, 0xFF, 0x62,
                                                           0x6F, 0x6F, 0x74, 0x08, 0x0A};
// A header-only frame: status 03h, kind 80h, command F0h, Length 0, FrameSum 0.
inline constexpr std::array<std::uint8_t, 11> kFontModeCommand{0x1F, 0x1B, 0x1C, 0x06, 0x03, 0x80,
                                                               0xF0, 0x00, 0x00, 0x00, 0x00};
inline constexpr std::uint8_t kFontModeKind = 0x80;
inline constexpr std::uint8_t kFontModeCode = 0xF0;

// What one reception on the application firmware's TCP port asks of it.
struct AppStep {
    Bytes answer;       // echo or font-mode confirmation, written back at once
    Bytes fontDownload; // bytes after the font-mode command: frames for the boot loader
    int bootCommands = 0;
    bool enteredFontMode = false;
};

// One connection to the application firmware, as a function of the bytes it receives. TCP is a
// byte stream: a command may come in pieces, or joined to what follows it.
class AppSession {
public:
    // echoLength: 0 (no echo), 9 or 10 leading bytes of the boot command sent back.
    // silent: neither echo nor confirm anything.
    AppSession(int echoLength, bool silent);

    AppStep feed(ByteView chunk);
    bool inFontMode() const { return fontMode_; }

private:
    int echoLength_;
    bool silent_;
    bool fontMode_ = false;
    Bytes pending_; // the start of a command, waiting for the rest
};

// The confirmation of the font-mode command: 13 bytes, status 4, command F0h, Length 2.
Bytes FontModeConfirmation();

} // namespace posflash::sim
