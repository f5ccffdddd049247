#include "base/config_paths.h"

#include <QStandardPaths>

namespace posflash {

QString ConfigFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/posflash");
}

QString SettingsFilePath() {
    return ConfigFolder() + QStringLiteral("/sys_config.ini");
}

QString ComPortMapPath() {
    return ConfigFolder() + QStringLiteral("/comports.ini");
}

} // namespace posflash
