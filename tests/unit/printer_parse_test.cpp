#include "history/record_fields.h"
#include "ports/com_port_map.h"
#include "ports/usb_inventory.h"
#include "unit/printer_parse.h"

#include "support/pty_pair.h"
#include "support/qt_printers.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace posflash {
namespace {

// What a parse gave, in one line: the medium and the fields, or the error's text.
QString said(const Result<Printer>& parsed) {
    if (!parsed)
        return parsed.error().text;
    const char* media[] = {"COM", "device", "usb", "network"};
    const Printer& p = *parsed;
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
        .arg(QString::fromLatin1(media[static_cast<int>(p.medium())]),
             p.comNumber ? QString::number(p.comNumber) : QString(), p.node, p.usbPath, p.usbSerial,
             p.ip, p.mac)
        .simplified();
}

// The printer as a history row keeps it and its JSON gives it back.
Result<Printer> throughRecord(const Printer& printer) {
    HistoryRecord record;
    record.uuid = QStringLiteral("6f1c3c1e-0c5e-4a57-9d7e-5b1f2f2c9a10");
    record.startedAt = QDateTime::currentDateTimeUtc();
    record.frontEnd = QStringLiteral("cli");
    record.kind = QStringLiteral("program");
    record.outcome = QStringLiteral("refused");
    record.printer = printer;
    const std::optional<HistoryRecord> back = RecordOfJson(JsonOf(record));
    if (!back)
        return Error{0, QStringLiteral("no record")};
    return back->printer;
}

TEST(PrinterParse, EachFormNamesOnePrinterThatARecordKeepsAndEachBadFormSaysWhy) {
    testing::PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const QString tty = pty.slavePath();
    const QTemporaryDir dir;
    // Network: a and b are the address and the MAC; else the port and, set, "look later".
    // clang-format off
    const struct { const char* name; bool network; QString a; QString b; QString said; } cases[] = {
        {"a COM number, with no device behind it here", false, "COM3", "", "COM 3 port-missing"},
        {"a serial line", false, tty, "", "device " + tty},
        {"a node looked at later", false, "/dev/ttyUSB9", "later", "device /dev/ttyUSB9"},
        {"an address and a MAC", true, "192.168.1.100", "00-11-22-aa-BB-CC", "network 192.168.1.100 00-11-22-aa-BB-CC"},
        // Each part is decimal, though Qt's own reading takes a leading zero as octal.
        {"leading zeros", true, "010.077.000.002", "", "network 10.77.0.2"},
        {"COM0", false, "COM0", "", "--port COM0: COM numbers run from COM1 to COM255"},
        // Whether the port is there is asked apart, with a cause every front end shares.
        {"no node", false, "/nonexistent", "", "device /nonexistent port-missing"},
        {"a folder", false, dir.path(), "", "device " + dir.path() + " port-not-serial"},
        {"no terminal", false, "/dev/null", "", "device /dev/null port-not-serial"},
        {"a part over 255", true, "192.168.1.300", "", "--ip 192.168.1.300 is not an address like 192.168.1.100"},
        {"this network", true, "0.0.0.0", "", "--ip 0.0.0.0 is no single printer's address (this network, broadcast or multicast)"},
        {"every host", true, "255.255.255.255", "", "--ip 255.255.255.255 is no single printer's address (this network, broadcast or multicast)"},
        {"multicast", true, "224.0.0.1", "", "--ip 224.0.0.1 is no single printer's address (this network, broadcast or multicast)"},
        {"a MAC with colons", true, "10.0.0.1", "00:11:22:33:44:55", "--mac 00:11:22:33:44:55 is not an address like 00-11-22-AA-BB-CC"},
    };
    // clang-format on
    const ComPortMap noComPorts(dir.filePath("com-ports.ini"));
    UsbDeviceEntry plugged{"USB\\VID_0519&PID_2013\\A1", "/dev/ttyACM0", "/dev/usb/lp0"};
    plugged.serial = "A1";
    plugged.usbPath = "1-1.2";
    EXPECT_EQ(said(PrinterOfUsbDevice(plugged)), "usb /dev/ttyACM0 1-1.2 A1");
    EXPECT_EQ(said(UsbPrinterAt("1-1.2")), "usb 1-1.2");
    EXPECT_EQ(said(throughRecord(PrinterOfUsbDevice(plugged))), said(PrinterOfUsbDevice(plugged)));
    for (const auto& c : cases) {
        const Result<Printer> parsed =
            c.network
                ? ParseNetworkPrinter(c.a, c.b)
                : ParsePortPrinter(c.a, c.b.isEmpty() ? DeviceCheck::Now : DeviceCheck::Later);
        if (parsed) {
            EXPECT_EQ(said(throughRecord(*parsed)), said(parsed)) << c.name;
        }
        const auto refused = parsed && c.b.isEmpty() ? RefusedPort(*parsed, noComPorts)
                                                     : std::optional<PortRefusal>();
        EXPECT_EQ(said(parsed) + (refused ? " " + CauseName(refused->cause) : QString()), c.said)
            << c.name;
    }
}

} // namespace
} // namespace posflash
