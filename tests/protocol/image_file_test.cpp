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
    EXPECT_EQ(LoadImageFile(dir.path(), kLimit).error, ImageLoadError::NotAFile);

    const QString locked = write("locked.bin", Bytes(4, 0));
    ::chmod(QFile::encodeName(locked).constData(), 0);
    if (::geteuid() != 0) { // root reads anything
        EXPECT_EQ(LoadImageFile(locked, kLimit).error, ImageLoadError::CannotOpen);
    }
}

TEST_F(ImageFileTest, LoadingKeepsEveryByte) {
    Bytes content(70000);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 31);
    const LoadedImage image = LoadImageFile(write("img.bin", content), kLimit);
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image.bytes, content);
}

TEST_F(ImageFileTest, SizeIsJudgedBeforeAnythingIsReadOrAllocated) {
    // A sparse file far larger than memory: reading it would end in bad_alloc.
    const QString huge = write("huge.bin", {});
    ASSERT_EQ(::truncate(QFile::encodeName(huge).constData(), 200LL << 30), 0);
    EXPECT_EQ(LoadImageFile(huge, kLimit).error, ImageLoadError::TooLarge);
    EXPECT_FALSE(CheckBinFileValid(huge));

    const QString limit = write("limit.bin", {});
    ASSERT_EQ(::truncate(QFile::encodeName(limit).constData(), 16'776'704), 0);
    EXPECT_TRUE(LoadImageFile(limit, kLimit).ok());
    ASSERT_EQ(::truncate(QFile::encodeName(limit).constData(), 16'776'705), 0);
    EXPECT_EQ(LoadImageFile(limit, kLimit).error, ImageLoadError::TooLarge);
    EXPECT_TRUE(LoadImageFile(limit, 33'553'408).ok()); // a font's limit
}

TEST_F(ImageFileTest, OnlyRegularFilesAreReadSoNothingBlocks) {
    // A FIFO without a writer would block the open; /dev/zero would never end.
    const QString fifo = dir.filePath("fifo.bin");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(LoadImageFile(fifo, kLimit).error, ImageLoadError::NotAFile);
    EXPECT_FALSE(CheckBinFileValid(fifo));
    EXPECT_EQ(LoadImageFile(QStringLiteral("/dev/zero"), kLimit).error, ImageLoadError::NotAFile);
    const QString link = dir.filePath("zero.bin");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), link));
    EXPECT_EQ(LoadImageFile(link, kLimit).error, ImageLoadError::NotAFile);
}

} // namespace
} // namespace posflash
