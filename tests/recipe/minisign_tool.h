#pragma once

#include "support/test_files.h"

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

    void write(const QString& name, const QByteArray& bytes) { WriteFile(path(name), bytes); }
    QByteArray read(const QString& name) const { return ReadFile(path(name)); }
};

} // namespace posflash::testing
