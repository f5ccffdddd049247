#include "fleet/printer_target.h"

#include "support/pty_pair.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace posflash {
namespace {

// What a parse gave, in one line: the kind and the job's target, or the error's text.
QString said(const Result<PrinterTarget>& parsed) {
    if (!parsed)
        return parsed.error().text;
    const char* kinds[] = {"COM", "device", "usb", "network"};
    const DownloadTarget job = JobTargetOf(*parsed);
    return QStringLiteral("%1 %2 %3 %4 %5 %6")
        .arg(QString::fromLatin1(kinds[static_cast<int>(parsed->kind())]),
             job.comNumber ? QString::number(job.comNumber) : QString(), job.devicePath,
             job.usbPath, job.ip, job.mac)
        .simplified();
}

TEST(PrinterTarget, EachFormNamesOnePrinterAndEachBadFormSaysWhy) {
    testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const QString tty = pty.slavePath();
    const QTemporaryDir dir;
    const auto port = [](const QString& text, DeviceCheck check = DeviceCheck::Now) {
        return [=] { return ParsePortTarget(text, check); };
    };
    const auto net = [](const QString& ip, const QString& mac) {
        return [=] { return ParseNetworkTarget(ip, mac); };
    };
    // clang-format off
    const struct { const char* name; std::function<Result<PrinterTarget>()> parse; QString said; } cases[] = {
        {"a COM number", port("COM3"), "COM 3"},
        {"in any case", port("com255"), "COM 255"},
        {"a serial line", port(tty), "device " + tty},
        {"a node looked at later", port("/dev/ttyUSB9", DeviceCheck::Later), "device /dev/ttyUSB9"},
        {"an address and a MAC", net("192.168.1.100", "00-11-22-aa-BB-CC"), "network 192.168.1.100 00-11-22-aa-BB-CC"},
        // Each part is decimal, though Qt's own reading takes a leading zero as octal.
        {"leading zeros", net("010.077.000.002", ""), "network 10.77.0.2"},
        {"a leading zero before a 9", net("192.168.010.099", ""), "network 192.168.10.99"},
        {"COM0", port("COM0"), "--port COM0: COM numbers run from COM1 to COM255"},
        {"COM256", port("COM256"), "--port COM256: COM numbers run from COM1 to COM255"},
        {"no node", port("/nonexistent"), "no such device: /nonexistent"},
        {"a folder", port(dir.path()), dir.path() + " is not a serial device"},
        {"no terminal", port("/dev/null"), "/dev/null is not a serial line"},
        {"a part over 255", net("192.168.1.300", ""), "--ip 192.168.1.300 is not an address like 192.168.1.100"},
        {"three parts", net("10.0.0", "00-11-22-33-44-55"), "--ip 10.0.0 is not an address like 192.168.1.100"},
        {"a MAC with colons", net("10.0.0.1", "00:11:22:33:44:55"), "--mac 00:11:22:33:44:55 is not an address like 00-11-22-AA-BB-CC"},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(said(c.parse()), c.said) << c.name;
}

} // namespace
} // namespace posflash
