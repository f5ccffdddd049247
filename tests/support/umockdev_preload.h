#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace posflash::testing {

// umockdev diverts /sys, /dev and uevents only when preloaded: a program that calls this first
// starts itself again that way when needed.
inline void EnsureUmockdevPreloaded(char** argv) {
    constexpr const char* kPreload = "libumockdev-preload.so.0";
    const char* old = std::getenv("LD_PRELOAD");
    if (old && std::strstr(old, "libumockdev-preload"))
        return;
    const std::string preload = old && *old ? std::string(kPreload) + ":" + old : kPreload;
    setenv("LD_PRELOAD", preload.c_str(), 1);
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer runtime wants to come first; the preloaded library is not instrumented.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string options = std::string(asan ? asan : "") + ":verify_asan_link_order=0";
    setenv("ASAN_OPTIONS", options.c_str(), 1);
#endif
    execv("/proc/self/exe", argv);
    std::perror("cannot start again with libumockdev-preload");
    std::exit(1);
}

} // namespace posflash::testing
