#pragma once

#include <QString>

namespace posflash {

// $XDG_CONFIG_HOME/posflash (usually ~/.config/posflash): the settings and the COM map.
QString ConfigFolder();
QString SettingsFilePath(); // sys_config.ini
QString ComPortMapPath();   // comports.ini

} // namespace posflash
