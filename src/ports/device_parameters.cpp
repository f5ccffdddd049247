#include "ports/device_parameters.h"

#include "ports/com_port_map.h"

#include <algorithm>
#include <cerrno>

namespace posflash {
namespace {

// What a fixed text buffer would have held: up to the first NUL, and no more than it fits.
QString asBufferText(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    return text.left(nul < 0 ? kRegValueMaxChars : std::min<qsizetype>(nul, kRegValueMaxChars));
}

} // namespace

int ReadDeviceParameter(const UsbDeviceEntry& device, const QString& valueName, QString& value,
                        ComPortMap& comPorts) {
    if (valueName.compare(QLatin1String("PortName"), Qt::CaseInsensitive) == 0) {
        if (device.serialNode.isEmpty())
            return ENOENT;
        // The map is full, or its file could not be written: no number to report.
        const Result<int> number = comPorts.assign(device.serialNode);
        if (!number)
            return EIO;
        value = asBufferText(QStringLiteral("COM%1").arg(*number));
        return 0;
    }
    if (valueName.compare(QLatin1String("SymbolicName"), Qt::CaseInsensitive) == 0) {
        if (device.rawNode.isEmpty())
            return ENOENT;
        value = asBufferText(device.rawNode);
        return 0;
    }
    return ENOENT;
}

} // namespace posflash
