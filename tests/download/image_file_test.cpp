#include "download/image_file.h"
#include "download/reply_source.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace posflash {
namespace {

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
    EXPECT_EQ(LoadImageFile(dir.path()).error, ImageLoadError::NotAFile);

    const QString locked = write("locked.bin", Bytes(4, 0));
    ::chmod(QFile::encodeName(locked).constData(), 0);
    if (::geteuid() != 0) { // root reads anything
        EXPECT_EQ(LoadImageFile(locked).error, ImageLoadError::CannotOpen);
    }
}

TEST_F(ImageFileTest, LoadingKeepsEveryByte) {
    Bytes content(70000);
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<std::uint8_t>(i * 31);
    const LoadedImage image = LoadImageFile(write("img.bin", content));
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image.bytes, content);
}

TEST(CheckGetDataMode, OnlyANetworkBootLoaderDownloadReadsFromTheSocket) {
    EXPECT_TRUE(CheckGetDataMode(PortKindValue::Network, false, false));
    EXPECT_TRUE(CheckGetDataMode(PortKindValue::Network, true, true));
    EXPECT_FALSE(CheckGetDataMode(PortKindValue::Network, true, false));
    EXPECT_FALSE(CheckGetDataMode(PortKindValue::Com, false, true));
    EXPECT_FALSE(CheckGetDataMode(PortKindValue::Com, true, false));
}

} // namespace
} // namespace posflash
