// posflash-mark-helper as installed: setuid to a system user (here daemon) that owns the marks
// folder, and run by nobody, who may raise a mark but not lower one, nor write the folder, nor
// have a symlink in it followed (root only).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class MarkHelperSetuid : public ::testing::Test {
protected:
    void SetUp() override {
        // getpwnam's answer lives until its next call.
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody != nullptr)
            nobody_ = *nobody;
        const passwd* daemon = ::getpwnam("daemon");
        if (::geteuid() != 0 || daemon == nullptr || nobody == nullptr)
            GTEST_SKIP() << "needs root and the users daemon and nobody";
        // The folder and the program owned by daemon, as postinst makes them for posflash.
        QDir(dir_).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(dir_) && copies_.isValid());
        ASSERT_TRUE(QFile::copy(POSFLASH_MARK_HELPER_COPY, program_) && writeFile(target_, "9\n"));
        for (const auto& [path, mode] :
             {std::pair{dir_, 0755}, {copies_.path(), 0755}, {program_, 04755}, {target_, 0644}}) {
            ASSERT_EQ(::chown(QFile::encodeName(path), daemon->pw_uid, daemon->pw_gid), 0);
            ASSERT_EQ(::chmod(QFile::encodeName(path), static_cast<mode_t>(mode)), 0);
        }
    }

    // What nobody's run printed, after its exit code.
    QString asNobody(const QString& program, const QStringList& args) {
        QProcess p;
        p.start("setpriv", QStringList{"--reuid=" + QString::number(nobody_.pw_uid),
                                       "--regid=" + QString::number(nobody_.pw_gid),
                                       "--clear-groups", program} +
                               args);
        p.waitForFinished(30000);
        return QString::number(p.exitCode()) + " " + QString::fromUtf8(p.readAllStandardOutput());
    }
    QString raise(const QString& nameHex, const QString& sequence) {
        return asNobody(program_, {"raise", nameHex, sequence});
    }
    static bool writeFile(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }

    QString dir_ = POSFLASH_MARKS_TEST_DIR;
    QTemporaryDir copies_;
    QString program_ = copies_.filePath("posflash-mark-helper");
    QString target_ = copies_.filePath("daemon-owned"); // a file the helper's user may write
    passwd nobody_{};
};

TEST_F(MarkHelperSetuid, NobodyRaisesAMarkButNeverLowersItNorWritesTheFolder) {
    EXPECT_EQ(raise("5831", "5"), "0 kept 5\n");
    EXPECT_EQ(raise("5831", "3"), "0 kept 5\n");
    EXPECT_EQ(raise("5831", "-1").left(9), "2 refused");
    EXPECT_EQ(read(dir_ + "/5831"), "5\n");
    EXPECT_NE(asNobody("/bin/sh", {"-c", "echo 0 > " + dir_ + "/5831"}).left(2), "0 ");
    EXPECT_NE(asNobody("/bin/sh", {"-c", "echo 0 > " + dir_ + "/new"}).left(2), "0 ");
    EXPECT_EQ(read(dir_ + "/5831"), "5\n");
    // A damaged mark counts as none and is replaced; a long name's mark has folders of its own.
    ASSERT_TRUE(writeFile(dir_ + "/6e", "junk"));
    EXPECT_EQ(raise("6e", "1"), "0 kept 1\n");
    EXPECT_EQ(raise(QString(512, 'a'), "3"), "0 kept 3\n");
    const QString piece(250, 'a');
    EXPECT_EQ(read(dir_ + "/" + piece + "+/" + piece + "+/" + QString(12, 'a')), "3\n");
}

TEST_F(MarkHelperSetuid, ASymlinkPlantedInTheFolderIsNeitherReadNorWrittenThrough) {
    ASSERT_TRUE(QFile::link(target_, dir_ + "/6c"));      // at the mark
    ASSERT_TRUE(QFile::link(target_, dir_ + "/.6d.tmp")); // at the mark's temporary twin
    EXPECT_EQ(raise("6c", "2"), "0 kept 2\n");            // the target's 9 was not read as the mark
    EXPECT_EQ(raise("6d", "1"), "0 kept 1\n");
    EXPECT_EQ(read(target_), "9\n");
    EXPECT_FALSE(QFileInfo(dir_ + "/6c").isSymLink());
    EXPECT_EQ(read(dir_ + "/6c"), "2\n");
}

} // namespace
