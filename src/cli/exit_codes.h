#pragma once

namespace posflash {

// The exit status of every command.
inline constexpr int kExitCompleted = 0; // done: completed, sendable, sent
inline constexpr int kExitFailed = 1;    // failed or cancelled
inline constexpr int kExitUsage = 2;     // refused, or a usage error

} // namespace posflash
