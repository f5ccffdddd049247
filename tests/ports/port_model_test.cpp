#include "base/ini_store.h"
#include "ports/port_model.h"
#include "support/qt_printers.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace posflash {
namespace {

// Each choice of the port controls leaves its status line and setting; one outside changes none.
TEST(PortModel, EachSelectionLeavesItsStatusLineAndStoresItself) {
    QTemporaryDir dir;
    IniStore settings(dir.filePath("sys_config.ini"));
    PortModel ports(settings);
    ports.setBaudIndex(7);
    // clang-format off
    const struct { const char* name; std::function<std::optional<QString>()> select; std::optional<QString> status; const char* section; const char* key; const char* stored; } cases[] = {
        {"COM5", [&] { return ports.selectComIndex(4); }, "COM5:115200,n,8,1", "SERIAL", "COM", "4"},
        {"the COM kind", [&] { return ports.selectPortKind(1, "10.0.0.5"); }, "USB:COM5,115200,n,8,1", "PORT", "ComboPort", "1"},
        {"the network kind", [&] { return ports.selectPortKind(0, "10.0.0.5"); }, "ETHERNET:10.0.0.5", "PORT", "ComboPort", "0"},
        {"COM256", [&] { return ports.selectComIndex(255); }, std::nullopt, "SERIAL", "COM", "4"},
        {"a third kind", [&] { return ports.selectPortKind(2, ""); }, std::nullopt, "PORT", "ComboPort", "0"},
        {"COM255 at the fastest speed", [&] { ports.setBaudIndex(10); return ports.selectComIndex(254); }, "COM255:912600,n,8,1", "SERIAL", "COM", "254"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.select(), c.status);
        EXPECT_EQ(settings.GetIniString(c.section, c.key), c.stored);
    }
    EXPECT_EQ(ports.portKind(), PortKindValue::Network);
    EXPECT_EQ(ports.comNumber(), 255);
}

} // namespace
} // namespace posflash
