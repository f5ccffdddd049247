#pragma once

#include "recipe/minisign.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace posflash {

// The keys a station accepts a recipe from, and the files among them it could not read.
struct TrustedKeys {
    std::vector<MinisignPublicKey> keys;
    QStringList unreadable; // "path: why", one per file that is no public key
};

// $XDG_CONFIG_HOME/posflash/trusted-keys and /etc/posflash/trusted-keys.
QStringList DefaultTrustedKeyFolders();

// Every *.pub in folders. A folder that does not exist holds no keys; a file that is no key is
// named in unreadable and trusts nothing.
TrustedKeys LoadTrustedKeys(const QStringList& folders);

} // namespace posflash
