#pragma once

#include <QString>

#include <optional>

namespace posflash {

// Serial numbers longer than this, or with characters an identifier cannot carry, are replaced
// by the bus path, so every identifier keeps its three backslash-separated parts.
inline constexpr int kUsbSerialMaxChars = 126;

// "USB\VID_XXXX&PID_XXXX\<serial or bus path>", the vendor and product ids in upper-case hex
// as the known ids are written. nullopt when an id is not four hex digits or the bus path is
// unusable: such a device cannot be named, and is never a printer we know.
std::optional<QString> UsbInstanceId(const QString& vendorId, const QString& productId,
                                     const QString& serial, const QString& busPath);

} // namespace posflash
