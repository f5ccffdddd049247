#pragma once

#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace posflash::testing {

// Debian's minisign, run in a folder of the test's own: the other side of every signature test.
struct MinisignTool {
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }

    // Exit code of minisign with args, input on its standard input; -1 when it did not run.
    int run(const QStringList& args, const QByteArray& input = {}) {
        QProcess minisign;
        minisign.setWorkingDirectory(dir.path());
        minisign.setProcessChannelMode(QProcess::MergedChannels);
        minisign.start(QStringLiteral("minisign"), args);
        if (!minisign.waitForStarted(10000))
            return -1;
        minisign.write(input);
        minisign.closeWriteChannel();
        // An encrypted key's scrypt takes seconds.
        if (!minisign.waitForFinished(120000))
            return -1;
        return minisign.exitStatus() == QProcess::NormalExit ? minisign.exitCode() : -1;
    }

    // A key pair NAME.pub / NAME.key; without a password unless one is given.
    void makeKey(const QString& name, const QByteArray& password = {}) {
        QStringList args{"-G", "-p", path(name + ".pub"), "-s", path(name + ".key")};
        if (password.isEmpty())
            args << "-W";
        ASSERT_EQ(run(args, password + '\n' + password + '\n'), 0)
            << "minisign -G " << name.toStdString();
    }

    // NAME.minisig (or file.minisig) of file, by key NAME; legacy: minisign -l.
    QByteArray sign(const QString& file, const QString& key, bool legacy,
                    const QString& trustedComment = {}) {
        QStringList args{"-S", "-s", path(key + ".key"), "-m", path(file)};
        if (legacy)
            args << "-l";
        if (!trustedComment.isEmpty())
            args << "-t" << trustedComment;
        EXPECT_EQ(run(args), 0);
        return read(file + ".minisig");
    }

    bool verifies(const QString& file, const QString& key) {
        return run({"-V", "-p", path(key + ".pub"), "-m", path(file)}) == 0;
    }

    // A folder as the administrator installs it (etc/posflash/trusted-keys here, root's, mode
    // 0755, keys 0644) holding the public keys named: what approves production recipes.
    QString systemKeys(const QStringList& keys) {
        const QString folder = path("etc/posflash/trusted-keys");
        QDir().mkpath(folder);
        const auto rwxr_xr_x = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                               QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                               QFile::ExeOther;
        for (const QString& f : {path("etc"), path("etc/posflash"), folder})
            QFile::setPermissions(f, rwxr_xr_x);
        for (const QString& key : keys) {
            const QString file = folder + "/" + key + ".pub";
            QFile::remove(file);
            QFile::copy(path(key + ".pub"), file);
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                            QFile::ReadOther);
        }
        return folder;
    }

    void write(const QString& name, const QByteArray& bytes) { WriteFile(path(name), bytes); }
    QByteArray read(const QString& name) const { return ReadFile(path(name)); }
};

} // namespace posflash::testing
