#pragma once

#include "base/error.h"

#include <QByteArray>
#include <QString>

namespace posflash {

// A settings file holds a few hundred bytes; anything this large is not one and is refused
// rather than read into memory.
inline constexpr qint64 kMaxSettingsFileBytes = 1 << 20;

struct SettingsFileContents {
    enum class Reading { Read, Missing, Refused };
    Reading status = Reading::Missing;
    QByteArray bytes; // the whole file when Read
    Error error;      // why it was refused
};

// Reads a settings or COM-map file whole. Only a regular file (or a link to one) of at most
// maxBytes is read; a folder, FIFO, socket or device is refused without waiting on it, so a
// file someone replaced with a pipe or /dev/zero can neither block nor exhaust memory.
SettingsFileContents ReadSettingsFile(const QString& path, qint64 maxBytes = kMaxSettingsFileBytes);

} // namespace posflash
