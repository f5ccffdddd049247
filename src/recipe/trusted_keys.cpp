#include "recipe/trusted_keys.h"

#include "base/config_paths.h"

#include <QDir>
#include <QFile>

namespace posflash {

namespace {

// A public key file is two short lines; anything far larger is not one.
constexpr qint64 kMaxKeyFileBytes = 16 * 1024;

} // namespace

QStringList DefaultTrustedKeyFolders() {
    return {ConfigFolder() + QStringLiteral("/trusted-keys"),
            QStringLiteral("/etc/posflash/trusted-keys")};
}

TrustedKeys LoadTrustedKeys(const QStringList& folders) {
    TrustedKeys trusted;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        const QStringList names = dir.entryList({QStringLiteral("*.pub")}, QDir::Files, QDir::Name);
        for (const QString& name : names) {
            const QString path = dir.filePath(name);
            QFile file(path);
            if (file.size() > kMaxKeyFileBytes || !file.open(QIODevice::ReadOnly)) {
                trusted.unreadable << QStringLiteral("%1: cannot be read as a key").arg(path);
                continue;
            }
            Result<MinisignPublicKey> key = ParseMinisignPublicKey(file.readAll());
            if (!key) {
                trusted.unreadable << QStringLiteral("%1: %2").arg(path, key.error().text);
                continue;
            }
            key->source = path;
            trusted.keys.push_back(*key);
        }
    }
    return trusted;
}

} // namespace posflash
