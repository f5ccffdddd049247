// COM-number maps as a user may have edited them, then a device plugged in and a mapping
// chosen. What the map holds in memory must be what the file it writes reads back as.
// Input: a device name, a COM number and a second device (FuzzedDataProvider), then the file.

#include "fuzz_support.h"

#include "ports/com_port_map.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace posflash;

namespace {

void wellFormed(const std::map<int, QString>& entries) {
    for (const auto& [number, node] : entries) {
        FUZZ_CHECK(number >= ComPortMap::kFirstNumber && number <= ComPortMap::kLastNumber);
        FUZZ_CHECK(!node.isEmpty());
    }
}

// A map loaded afresh from the file sees what the map that wrote it holds.
void survivesReload(const ComPortMap& map, const QString& path) {
    FUZZ_CHECK(ComPortMap(path).entries() == map.entries());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // Under a folder that does not exist, so no lookup resolves them to real devices.
    const QString prefix = QStringLiteral("/nonexistent-posflash-fuzz/");
    const QString plugged =
        prefix + QString::fromUtf8(fuzz::toQByteArray(in.ConsumeRandomLengthString(16)));
    const int number = in.ConsumeIntegralInRange(-1, 257);
    const QString chosen =
        prefix + QString::fromUtf8(fuzz::toQByteArray(in.ConsumeRandomLengthString(16)));
    const QByteArray file = fuzz::toQByteArray(in.ConsumeRemainingBytesAsString());

    const QString path = fuzz::scratchPath("comports.ini");
    fuzz::writeWhole(path, file);
    ComPortMap map(path);
    const std::map<int, QString> loaded = map.entries();
    wellFormed(loaded);

    const int known = map.comNumberOf(plugged);
    const int given = map.assign(plugged).value_or(0);
    if (known != 0) {
        FUZZ_CHECK(given == known);
    } else if (given != 0) {
        FUZZ_CHECK(given >= ComPortMap::kFirstAssigned && !loaded.count(given));
        FUZZ_CHECK(map.devicePath(given) == plugged);
        auto expected = loaded;
        expected.emplace(given, plugged);
        FUZZ_CHECK(map.entries() == expected);
        survivesReload(map, path);
    }

    if (map.setMapping(number, chosen).ok()) {
        FUZZ_CHECK(map.devicePath(number) == chosen && map.comNumberOf(chosen) == number);
        wellFormed(map.entries());
        survivesReload(map, path);
    }
    return 0;
}
