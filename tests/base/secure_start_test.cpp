// Run with raised rights, a Qt program takes no plugin folder from its environment or arguments.
#include "base/secure_start.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace posflash {
namespace {

TEST(SecureStart, WithRaisedRightsPluginFoldersAreClearedOrRefused) {
    // pluginPathAfter: QT_PLUGIN_PATH, null when cleared
    // clang-format off
    const struct { bool secure; std::vector<std::string> arguments; int exitCode; const char* pluginPathAfter; } cases[] = {
        {false, {},                                 0, "/tmp/evil"},
        {false, {"-platformpluginpath", "/tmp/x"},  0, "/tmp/evil"},
        {true,  {},                                 0, nullptr},
        {true,  {"--json"},                         0, nullptr},
        {true,  {"-platformpluginpath", "/tmp/x"},  2, "/tmp/evil"},
        {true,  {"--platformpluginpath", "/tmp/x"}, 2, "/tmp/evil"},
        {true,  {"-platformpluginpath=/tmp/x"},     2, "/tmp/evil"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.secure) + " " + std::to_string(c.arguments.size()));
        ::setenv("QT_PLUGIN_PATH", "/tmp/evil", 1);
        ::setenv("QT_QPA_PLATFORM_PLUGIN_PATH", "/tmp/evil", 1);
        ::setenv("QML2_IMPORT_PATH", "/tmp/evil", 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<std::string> owned{"posflash-cli"};
        owned.insert(owned.end(), c.arguments.begin(), c.arguments.end());
        std::vector<char*> argv;
        for (std::string& a : owned)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(GuardSecureExecution("posflash-cli", static_cast<int>(owned.size()), argv.data(),
                                       c.secure),
                  c.exitCode);
        const char* after = std::getenv("QT_PLUGIN_PATH");
        EXPECT_EQ(after == nullptr ? std::string("(cleared)") : std::string(after),
                  c.pluginPathAfter == nullptr ? std::string("(cleared)") : c.pluginPathAfter);
        const bool cleared = c.pluginPathAfter == nullptr;
        EXPECT_EQ(std::getenv("QT_QPA_PLATFORM_PLUGIN_PATH") == nullptr, cleared);
        EXPECT_EQ(std::getenv("QML2_IMPORT_PATH") == nullptr, cleared);
        // The platform's name stays: it is loaded from Qt's own folder.
        EXPECT_STREQ(std::getenv("QT_QPA_PLATFORM"), "offscreen");
    }
}

} // namespace
} // namespace posflash
