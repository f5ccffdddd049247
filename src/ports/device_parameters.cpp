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

Result<QString> ReadDeviceParameter(const UsbDeviceEntry& device, const QString& valueName,
                                    ComPortMap& comPorts) {
    const Error missing = SystemError(ENOENT, valueName);
    if (valueName.compare(QLatin1String("PortName"), Qt::CaseInsensitive) == 0) {
        if (device.serialNode.isEmpty())
            return missing;
        // The map is full, or its file could not be written: no number to report.
        const Result<int> number = comPorts.assign(device.serialNode);
        if (!number)
            return number.error();
        return asBufferText(QStringLiteral("COM%1").arg(*number));
    }
    if (valueName.compare(QLatin1String("SymbolicName"), Qt::CaseInsensitive) == 0) {
        if (device.rawNode.isEmpty())
            return missing;
        return asBufferText(device.rawNode);
    }
    return missing;
}

} // namespace posflash
