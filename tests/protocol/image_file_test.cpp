#include "protocol/image_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace posflash {
namespace {

constexpr std::size_t kLimit = 16'776'704; // 32767 frames of 512 bytes

// The Image domain's code of a failed load, 0 for a load that worked or failed elsewhere.
int imageCodeOf(const Result<Bytes>& loaded) {
    return !loaded && loaded.error().domain == ErrorDomain::Image ? loaded.error().code : 0;
}

class ImageFileTest : public ::testing::Test {
protected:
    QString write(const QString& name, const Bytes& content) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(content.data()), static_cast<qint64>(content.size()));
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(ImageFileTest, TrailerInLittleEndianOrderIsValid) {
    Bytes ok(10, 0x01);
    ok.insert(ok.end(), {0x0A, 0x00, 0x00, 0x00});
    EXPECT_TRUE(CheckBinFileValid(write("ok.bin", ok)));
    EXPECT_TRUE(CheckBinFileValid(write("zero.bin", Bytes(4, 0))));

    Bytes bigEndian(10, 0x01);
    bigEndian.insert(bigEndian.end(), {0x00, 0x00, 0x00, 0x0A});
    EXPECT_FALSE(CheckBinFileValid(write("be.bin", bigEndian)));
}

TEST_F(ImageFileTest, ShortMissingUnreadableAndDirectoryPathsAreNotValid) {
    EXPECT_FALSE(CheckBinFileValid(write("three.bin", Bytes(3, 0))));
    EXPECT_FALSE(CheckBinFileValid(write("empty.bin", {})));
    EXPECT_FALSE(CheckBinFileValid(dir.filePath("missing.bin")));
    EXPECT_FALSE(CheckBinFileValid(dir.path()));
    EXPECT_FALSE(CheckBinFileValid(QString()));
    EXPECT_EQ(imageCodeOf(LoadImageFile(dir.path(), kLimit)), image_error::kNotAFile);

    const QString locked = write("locked.bin", Bytes(4, 0));
    ::chmod(QFile::encodeName(locked).constData(), 0);
    if (::geteuid() != 0) { // root reads anything
        EXPECT_EQ(imageCodeOf(LoadImageFile(locked, kLimit)), image_error::kCannotOpen);
    }
}

TEST_F(ImageFileTest, LoadingKeepsEveryByte) {
    Bytes content(70000);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 31);
    const Result<Bytes> image = LoadImageFile(write("img.bin", content), kLimit);
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(*image, content);
}

TEST_F(ImageFileTest, SizeIsJudgedBeforeAnythingIsReadOrAllocated) {
    // A sparse file far larger than memory: reading it would end in bad_alloc.
    const QString huge = write("huge.bin", {});
    ASSERT_EQ(::truncate(QFile::encodeName(huge).constData(), 200LL << 30), 0);
    EXPECT_EQ(imageCodeOf(LoadImageFile(huge, kLimit)), image_error::kTooLarge);
    EXPECT_FALSE(CheckBinFileValid(huge));

    const QString limit = write("limit.bin", {});
    ASSERT_EQ(::truncate(QFile::encodeName(limit).constData(), 16'776'704), 0);
    EXPECT_TRUE(LoadImageFile(limit, kLimit).ok());
    ASSERT_EQ(::truncate(QFile::encodeName(limit).constData(), 16'776'705), 0);
    EXPECT_EQ(imageCodeOf(LoadImageFile(limit, kLimit)), image_error::kTooLarge);
    EXPECT_TRUE(LoadImageFile(limit, 33'553'408).ok()); // a font's limit
}

TEST_F(ImageFileTest, OnlyRegularFilesAreReadSoNothingBlocks) {
    // A FIFO without a writer would block the open; /dev/zero would never end.
    const QString fifo = dir.filePath("fifo.bin");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(imageCodeOf(LoadImageFile(fifo, kLimit)), image_error::kNotAFile);
    EXPECT_FALSE(CheckBinFileValid(fifo));
    EXPECT_EQ(imageCodeOf(LoadImageFile(QStringLiteral("/dev/zero"), kLimit)),
              image_error::kNotAFile);
    const QString link = dir.filePath("zero.bin");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), link));
    EXPECT_EQ(imageCodeOf(LoadImageFile(link, kLimit)), image_error::kNotAFile);
}

} // namespace
} // namespace posflash
