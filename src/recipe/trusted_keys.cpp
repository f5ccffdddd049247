#include "recipe/trusted_keys.h"

#include "base/config_paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace posflash {

namespace {

// A public key file is two short lines; anything far larger is not one.
constexpr qint64 kMaxKeyFileBytes = 16 * 1024;

// Why path is not root's alone, or empty. lstat: a symbolic link could point anywhere later.
QString notRootsAlone(const QString& path, bool folder) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("%1 cannot be examined").arg(path);
    if (folder ? !S_ISDIR(info.st_mode) : !S_ISREG(info.st_mode))
        return folder ? QStringLiteral("%1 is not a folder (a link is not taken)").arg(path)
                      : QStringLiteral("%1 is not a regular file").arg(path);
    if (info.st_uid != 0)
        return QStringLiteral("%1 is not owned by root").arg(path);
    if ((info.st_mode & S_IWGRP) != 0)
        return QStringLiteral("%1 is writable by its group").arg(path);
    if ((info.st_mode & S_IWOTH) != 0)
        return QStringLiteral("%1 is writable by others").arg(path);
    return {};
}

QStringList keyFiles(const QString& folder) {
    const QDir dir(folder);
    QStringList paths;
    for (const QString& name :
         dir.entryList({QStringLiteral("*.pub")}, QDir::Files | QDir::System, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

void loadFolder(const QString& folder, bool production, TrustedKeys& trusted) {
    for (const QString& path : keyFiles(folder)) {
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
        key->approvesProduction = production;
        trusted.keys.push_back(*key);
    }
}

} // namespace

TrustedKeyFolders TrustedKeyFolders::station() {
    return {QStringLiteral("/etc/posflash/trusted-keys"),
            ConfigFolder() + QStringLiteral("/trusted-keys")};
}

QString SystemKeyFolderRefusal(const QString& folder) {
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    for (const QString& part : {QFileInfo(clean).path(), clean})
        if (QString why = notRootsAlone(part, true); !why.isEmpty())
            return why;
    for (const QString& path : keyFiles(clean))
        if (QString why = notRootsAlone(path, false); !why.isEmpty())
            return why;
    return {};
}

TrustedKeys LoadTrustedKeys(const TrustedKeyFolders& folders) {
    TrustedKeys trusted;
    if (!folders.system.isEmpty() && QFileInfo::exists(folders.system)) {
        trusted.systemRefusal = SystemKeyFolderRefusal(folders.system);
        if (trusted.systemRefusal.isEmpty())
            loadFolder(folders.system, true, trusted);
        else
            trusted.unreadable << QStringLiteral("%1: refused for production approval: %2")
                                      .arg(folders.system, trusted.systemRefusal);
    }
    if (!folders.user.isEmpty())
        loadFolder(folders.user, false, trusted);
    return trusted;
}

} // namespace posflash
