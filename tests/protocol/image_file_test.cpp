#include "protocol/image_file.h"

#include "support/test_files.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace posflash {
namespace {

constexpr std::size_t kLimit = 16'776'704; // 32767 frames of 512 bytes

// 0 for a load that worked, else the Image domain's code (-1 for another domain's).
int imageCodeOf(const Result<Bytes>& loaded) {
    return loaded ? 0 : loaded.error().domain == ErrorDomain::Image ? loaded.error().code : -1;
}

class ImageFileTest : public ::testing::Test {
protected:
    QString write(const QString& name, const Bytes& content) {
        return testing::WriteFile(dir.filePath(name),
                                  QByteArray(reinterpret_cast<const char*>(content.data()),
                                             static_cast<qsizetype>(content.size())));
    }
    // A sparse file: its zeros cost no disk, and one far larger than memory could not be read.
    QString sized(const QString& name, off_t size) {
        const QString path = write(name, {});
        EXPECT_EQ(::truncate(QFile::encodeName(path).constData(), size), 0);
        return path;
    }
    QTemporaryDir dir;
};

// Valid: the last four bytes hold the sum of the others, little-endian. Read at all: only a
// regular file within the limit, judged before anything is read, so that nothing blocks.
TEST_F(ImageFileTest, OnlyARegularFileWithinTheLimitIsReadAndOnlyItsTrailerMakesItValid) {
    const Bytes little{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0x0A, 0, 0, 0};
    const Bytes big{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0x0A};
    const QString fifo = dir.filePath("fifo.bin");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zero = dir.filePath("zero.bin");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    // code: LoadImageFile's at limit; valid: CheckBinFileValid's, at a program's limit
    // clang-format off
    const struct { const char* name; QString path; std::size_t limit; int code; bool valid; } cases[] = {
        {"a little-endian trailer", write("little.bin", little), kLimit, 0, true},
        {"four zero bytes", write("four.bin", Bytes(4, 0)), kLimit, 0, true},
        {"a big-endian trailer", write("big.bin", big), kLimit, 0, false},
        {"three bytes", write("three.bin", Bytes(3, 0)), kLimit, 0, false},
        {"an empty file", write("empty.bin", {}), kLimit, 0, false},
        {"no file", dir.filePath("missing.bin"), kLimit, image_error::kNotAFile, false},
        {"no name", QString(), kLimit, image_error::kNotAFile, false},
        {"a folder", dir.path(), kLimit, image_error::kNotAFile, false},
        {"a FIFO without a writer", fifo, kLimit, image_error::kNotAFile, false},
        {"/dev/zero", QStringLiteral("/dev/zero"), kLimit, image_error::kNotAFile, false},
        {"a link to /dev/zero", zero, kLimit, image_error::kNotAFile, false},
        {"200 GiB", sized("huge.bin", 200LL << 30), kLimit, image_error::kTooLarge, false},
        {"the limit exactly", sized("limit.bin", 16'776'704), kLimit, 0, true},
        {"a byte over the limit", sized("over.bin", 16'776'705), kLimit, image_error::kTooLarge, false},
        {"the same at a font's limit", sized("font.bin", 16'776'705), 33'553'408, 0, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(imageCodeOf(LoadImageFile(c.path, c.limit)), c.code);
        EXPECT_EQ(CheckBinFileValid(c.path), c.valid);
    }
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

} // namespace
} // namespace posflash
