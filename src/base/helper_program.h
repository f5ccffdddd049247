#pragma once

#include <QString>

namespace posflash {

// One of posflash's small helper programs (posflash-bind-helper, posflash-mark-helper): the
// installed one, at fromBin relative to this program's own folder (the path compiled in), else
// the one beside this program, else the build tree's buildFolder beside this program's folder.
// Never through PATH or a variable a caller could point at another program. The installed path
// when there is none, for the messages that name it.
QString HelperProgramPath(const char* fromBin, const char* name, const char* buildFolder);

} // namespace posflash
