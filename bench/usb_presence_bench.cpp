// The once-a-second presence check (printerComPresent()), timed over a umockdev test bed
// holding a handful of USB devices, without the printer and with it: answered from the list
// kept by device events (HotplugUsbInventory, what the window and the CLI use), and, for
// comparison, from a fresh libudev scan per check (UdevUsbInventory).
// Usage: usb_presence_bench [calls]   (default 1000)
#include "ports/com_port_map.h"
#include "ports/hotplug_usb_inventory.h"
#include "ports/printer_usb.h"
#include "ports/usb_inventory_linux.h"
#include "support/umockdev_preload.h"
#include "support/umockdev_testbed.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using posflash::testing::FakeUsbDevice;

// What a desk PC might show: hubs, input devices, a card reader, a phone, and the printer last.
const std::vector<FakeUsbDevice> kOtherDevices{
    {"1-1", "05e3", "0610", "", {{"09", "", ""}}},
    {"1-1.1", "046d", "c52b", "", {{"03", "usbmisc", "usb/hiddev0"}, {"03", "", ""}}},
    {"1-1.2", "413c", "2113", "", {{"03", "", ""}, {"03", "", ""}}},
    {"1-1.3", "0bda", "0129", "20100201396000000", {{"ff", "", ""}}},
    {"1-2", "18d1", "4ee7", "0A1B2C3D4E", {{"ff", "", ""}, {"02", "tty", "ttyACM1"}}},
    {"1-3", "0403", "6001", "A50285BI", {{"ff", "tty", "ttyUSB0"}}},
};
const FakeUsbDevice kPrinter{"1-4", "0483", "5740", "PRN0001", {{"02", "tty", "ttyACM0"}}};

struct Result {
    double medianMs;
    double p99Ms;
    double maxMs;
    int present;
};

Result timeChecks(posflash::PrinterUsb& usb, int calls) {
    for (int i = 0; i < 20; ++i) // warm the page cache and libudev's first allocations
        usb.printerComPresent();
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(calls));
    int present = 0;
    for (int i = 0; i < calls; ++i) {
        const auto start = std::chrono::steady_clock::now();
        present += usb.printerComPresent() ? 1 : 0;
        const auto end = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[static_cast<std::size_t>(q * (ms.size() - 1))]; };
    return {at(0.5), at(0.99), ms.back(), present};
}

void print(const char* what, const Result& r, int calls) {
    std::printf("%-34s median %.4f ms   p99 %.4f ms   max %.3f ms   (present in %d/%d)\n", what,
                r.medianMs, r.p99Ms, r.maxMs, r.present, calls);
}

} // namespace

int main(int argc, char** argv) {
    posflash::testing::EnsureUmockdevPreloaded(argv);
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;

    posflash::testing::Testbed bed;
    for (const FakeUsbDevice& device : kOtherDevices)
        if (!bed.add(device.description()))
            return 1;

    QTemporaryDir dir;
    posflash::ComPortMap comPorts(dir.filePath("comports.ini"));
    posflash::HotplugUsbInventory kept;
    posflash::UdevUsbInventory scanned;
    if (!kept.monitor().isActive()) {
        std::fprintf(stderr, "no device events: the kept list would scan on every check\n");
        return 1;
    }
    posflash::PrinterUsb keptUsb(kept, comPorts);
    posflash::PrinterUsb scanUsb(scanned, comPorts);

    std::printf("%zu other USB devices, %d calls each\n", kOtherDevices.size(), calls);
    print("kept list, printer absent:", timeChecks(keptUsb, calls), calls);
    print("fresh scan, printer absent:", timeChecks(scanUsb, calls), calls);
    if (!bed.add(kPrinter.description()))
        return 1;
    // The first check after the plug-in event lists the devices again.
    const auto start = std::chrono::steady_clock::now();
    const bool found = keptUsb.printerComPresent();
    const auto end = std::chrono::steady_clock::now();
    std::printf("%-34s %.3f ms   (found: %s)\n", "kept list, first check after event:",
                std::chrono::duration<double, std::milli>(end - start).count(),
                found ? "yes" : "no");
    print("kept list, printer present:", timeChecks(keptUsb, calls), calls);
    print("fresh scan, printer present:", timeChecks(scanUsb, calls), calls);
    return 0;
}
