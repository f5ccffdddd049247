#include "unit/printer_parse.h"

#include "ports/com_port_map.h"
#include "ports/usb_inventory.h"
#include "protocol/address_text.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace posflash {
namespace {

Error inputError(QString text) {
    return Error{EINVAL, std::move(text), {}, ErrorDomain::Input};
}

Error deviceError(int errnoValue, QString text) {
    return Error{errnoValue, std::move(text), {}, ErrorDomain::System};
}

} // namespace

Result<Printer> ParsePortPrinter(const QString& text, DeviceCheck check) {
    Printer target;
    if (const auto number = ParseComName(text)) {
        target.comNumber = *number;
        return target;
    }
    // A text that starts like a COM name was meant as one, unless a node has that name.
    if (check == DeviceCheck::Now && text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) &&
        !QFileInfo::exists(text))
        return inputError(
            QStringLiteral("--port %1: COM numbers run from COM1 to COM255").arg(text));
    // The serial layer reads a name without a leading slash as one under /dev.
    target.node = QFileInfo(text).absoluteFilePath();
    return target;
}

Result<Printer> ParseNetworkPrinter(const QString& ip, const QString& mac) {
    const auto bytes = ParseIpv4Text(ip);
    if (!bytes)
        return inputError(QStringLiteral("--ip %1 is not an address like 192.168.1.100").arg(ip));
    if (!IsHostAddress(*bytes))
        return inputError(
            QStringLiteral("--ip %1 is no single printer's address (this network, broadcast or "
                           "multicast)")
                .arg(ip));
    if (!mac.isEmpty() && !ParseMacText(mac))
        return inputError(
            QStringLiteral("--mac %1 is not an address like 00-11-22-AA-BB-CC").arg(mac));
    Printer target;
    target.ip = BytesToDottedIp(bytes->data(), static_cast<int>(bytes->size()));
    target.mac = mac;
    return target;
}

Printer UsbPrinterAt(const QString& usbPath) {
    Printer printer;
    printer.usbPath = usbPath;
    return printer;
}

Printer PrinterOfUsbDevice(const UsbDeviceEntry& device) {
    Printer printer;
    printer.node = device.serialNode;
    printer.usbPath = device.usbPath;
    printer.usbSerial = device.serial;
    return printer;
}

QString PrinterShown(const Printer& printer) {
    switch (printer.medium()) {
    case Printer::Medium::Network:
        return printer.ip;
    case Printer::Medium::Usb:
        return printer.node.isEmpty() ? printer.usbPath : printer.node;
    case Printer::Medium::Com:
        return QStringLiteral("COM%1").arg(printer.comNumber);
    case Printer::Medium::Device:
        break;
    }
    return printer.node;
}

std::optional<PortRefusal> RefusedPort(const Printer& target, const ComPortMap& comPorts) {
    if (target.medium() == Printer::Medium::Network || target.medium() == Printer::Medium::Usb)
        return std::nullopt;
    if (target.comNumber > 0) {
        if (comPorts.devicePath(target.comNumber).isEmpty())
            return PortRefusal{Cause::PortMissing, QStringLiteral("COM%1").arg(target.comNumber)};
        return std::nullopt;
    }
    const Status serial = CheckSerialDevice(target.node);
    if (serial)
        return std::nullopt;
    return PortRefusal{serial.error().code == ENOENT ? Cause::PortMissing : Cause::PortNotSerial,
                       target.node};
}

Status CheckSerialDevice(const QString& node) {
    const QByteArray native = QFile::encodeName(node);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return deviceError(ENOENT, QStringLiteral("no such device: %1").arg(node));
    if (!S_ISCHR(st.st_mode))
        return deviceError(ENOTTY, QStringLiteral("%1 is not a serial device").arg(node));
    const int fd = ::open(native.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {};
    termios settings{};
    const bool serial = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    if (!serial)
        return deviceError(ENOTTY, QStringLiteral("%1 is not a serial line").arg(node));
    return {};
}

} // namespace posflash
