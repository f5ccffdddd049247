#include "fleet/printer_target.h"

#include "ports/com_port_map.h"
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

PrinterTarget::Kind PrinterTarget::kind() const {
    if (!ip.isEmpty())
        return Kind::Network;
    if (!usbPath.isEmpty())
        return Kind::Usb;
    return device.isEmpty() ? Kind::Com : Kind::Device;
}

Result<PrinterTarget> ParsePortTarget(const QString& text, DeviceCheck check) {
    PrinterTarget target;
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
    target.device = QFileInfo(text).absoluteFilePath();
    return target;
}

Result<PrinterTarget> ParseNetworkTarget(const QString& ip, const QString& mac) {
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
    PrinterTarget target;
    target.ip = BytesToDottedIp(bytes->data(), static_cast<int>(bytes->size()));
    target.mac = mac;
    return target;
}

DownloadTarget JobTargetOf(const PrinterTarget& target) {
    return {target.comNumber, target.device, target.usbPath, target.ip, target.mac};
}

std::optional<PortRefusal> RefusedPort(const PrinterTarget& target, const ComPortMap& comPorts) {
    if (target.kind() == PrinterTarget::Kind::Network || target.kind() == PrinterTarget::Kind::Usb)
        return std::nullopt;
    if (target.comNumber > 0) {
        if (comPorts.devicePath(target.comNumber).isEmpty())
            return PortRefusal{Cause::PortMissing, QStringLiteral("COM%1").arg(target.comNumber)};
        return std::nullopt;
    }
    const Status serial = CheckSerialDevice(target.device);
    if (serial)
        return std::nullopt;
    return PortRefusal{serial.error().code == ENOENT ? Cause::PortMissing : Cause::PortNotSerial,
                       target.device};
}

Status CheckSerialDevice(const QString& device) {
    const QByteArray native = QFile::encodeName(device);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0)
        return deviceError(ENOENT, QStringLiteral("no such device: %1").arg(device));
    if (!S_ISCHR(st.st_mode))
        return deviceError(ENOTTY, QStringLiteral("%1 is not a serial device").arg(device));
    const int fd = ::open(native.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {};
    termios settings{};
    const bool serial = ::tcgetattr(fd, &settings) == 0;
    ::close(fd);
    if (!serial)
        return deviceError(ENOTTY, QStringLiteral("%1 is not a serial line").arg(device));
    return {};
}

} // namespace posflash
