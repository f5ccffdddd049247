#pragma once

#include "recipe/minisign.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace posflash {

// Where a station's trusted keys are. The system folder is the administrator's: its keys
// approve production recipes, but only while root alone can change it (the folder, its parent
// and every key file owned by root, not writable by group or others). The user's own folder
// approves engineering recipes only, so an operator's key cannot approve an image.
struct TrustedKeyFolders {
    QString system;
    QString user;

    // /etc/posflash/trusted-keys and $XDG_CONFIG_HOME/posflash/trusted-keys.
    static TrustedKeyFolders station();
};

// The keys a station accepts a recipe from, and the files among them it could not use.
struct TrustedKeys {
    std::vector<MinisignPublicKey> keys;
    QStringList unreadable; // "path: why", one per file that is no public key
    // Why the system folder approves nothing ("… is writable by its group"); empty when its
    // keys are trusted or it does not exist.
    QString systemRefusal;
};

// Why folder cannot be trusted with production approval, or empty: it, its parent and each
// *.pub in it must be owned by root and not writable by group or others.
QString SystemKeyFolderRefusal(const QString& folder);

// Every *.pub in the folders. A folder that does not exist holds no keys; a file that is no key
// is named in unreadable and trusts nothing; a system folder that root alone cannot be said to
// hold is refused whole (systemRefusal).
TrustedKeys LoadTrustedKeys(const TrustedKeyFolders& folders);

} // namespace posflash
