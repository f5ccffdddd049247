// posflash-mark-helper as installed: setuid to a system user (here daemon) that owns the marks
// folder, and run by nobody, who may raise a mark but not lower one, nor write the folder, nor
// have a symlink in it followed (root only).
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "(none)";
}

TEST(MarkHelperSetuid, NobodyRaisesAMarkButNeverLowersItNorWritesTheFolderNorAnyLinkedFile) {
    const bool nobody = ::getpwnam("nobody") != nullptr;
    const passwd* daemon = ::getpwnam("daemon"); // valid until the next getpwnam
    if (::geteuid() != 0 || daemon == nullptr || !nobody)
        GTEST_SKIP() << "needs root and the users daemon and nobody";
    const QString dir = POSFLASH_MARKS_TEST_DIR;
    QTemporaryDir copies;
    struct statvfs mount {};
    if (::statvfs(QFile::encodeName(copies.path()).constData(), &mount) != 0 ||
        (mount.f_flag & ST_NOSUID) != 0)
        GTEST_SKIP() << copies.path().toStdString() << " is on a file system mounted nosuid";
    const QString program = copies.filePath("helper"), target = copies.filePath("daemon-owned");
    QDir(dir).removeRecursively();
    QFile targetFile(target);
    ASSERT_TRUE(QDir().mkpath(dir) && QFile::copy(POSFLASH_MARK_HELPER_COPY, program) &&
                targetFile.open(QIODevice::WriteOnly) && targetFile.write("9\n") == 2);
    targetFile.close();
    // As postinst makes them for posflash; the target a file the helper's user may write.
    for (const auto& [path, mode] :
         {std::pair{dir, 0755}, {copies.path(), 0755}, {program, 04755}, {target, 0644}})
        ASSERT_TRUE(::chown(QFile::encodeName(path), daemon->pw_uid, daemon->pw_gid) == 0 &&
                    ::chmod(QFile::encodeName(path), static_cast<mode_t>(mode)) == 0);
    const auto asNobody = [](const QStringList& args) {
        QProcess p;
        p.start("setpriv",
                QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups"} + args);
        p.waitForFinished(30000);
        return QString::number(p.exitCode()) + " " + QString::fromUtf8(p.readAllStandardOutput());
    };
    const auto raise = [&](const QString& nameHex, const QString& sequence) {
        return asNobody({program, "raise", nameHex, sequence});
    };

    EXPECT_EQ(raise("5831", "5"), "0 kept 5\n");
    EXPECT_EQ(raise("5831", "3"), "0 kept 5\n");
    EXPECT_EQ(raise("5831", "-1").left(9), "2 refused");
    for (const char* file : {"5831", "new"})
        EXPECT_FALSE(
            asNobody({"sh", "-c", "echo 0 > " + dir + "/" + QString(file)}).startsWith("0 "));
    EXPECT_EQ(read(dir + "/5831") + read(dir + "/new"), "5\n(none)");
    // A damaged mark counts as none; a long name's mark has folders of its own.
    QFile damaged(dir + "/6e");
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly) && damaged.write("junk") == 4);
    damaged.close();
    EXPECT_EQ(raise("6e", "1"), "0 kept 1\n");
    EXPECT_EQ(raise(QString(512, 'a'), "3"), "0 kept 3\n");
    EXPECT_EQ(read(dir + "/" + QString(250, 'a') + "+/" + QString(250, 'a') + "+/aaaaaaaaaaaa"),
              "3\n");
    // Links root planted, at a mark and at a mark's temporary twin: the target's 9 is not read
    // as the mark, nor is the target written.
    ASSERT_TRUE(QFile::link(target, dir + "/6c") && QFile::link(target, dir + "/.6d.tmp"));
    EXPECT_EQ(raise("6c", "2"), "0 kept 2\n");
    EXPECT_EQ(raise("6d", "1"), "0 kept 1\n");
    EXPECT_EQ(read(target), "9\n");
    EXPECT_FALSE(QFileInfo(dir + "/6c").isSymLink());
    EXPECT_EQ(read(dir + "/6c"), "2\n");
}

} // namespace
