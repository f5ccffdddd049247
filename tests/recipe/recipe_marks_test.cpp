#include "recipe/recipe_marks.h"

#include "support/test_files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace posflash {
namespace {

// A mark only rises, lives in the file named by the name's bytes in hex, and a damaged one is
// an error rather than 0 (which would let any older recipe back in).
TEST(RecipeMarksTest, AMarkOnlyRisesAndADamagedOneIsNoZero) {
    QTemporaryDir dir;
    const RecipeMarks marks(dir.filePath("marks"), dir.filePath("no-helper"));
    const QString name = QStringLiteral("X1 线");
    EXPECT_EQ(marks.read(name).value(), 0);
    EXPECT_EQ(marks.raise(name, 5).value(), 5);
    EXPECT_EQ(marks.raise(name, 3).value(), 5);
    EXPECT_EQ(marks.read(name).value(), 5);
    const QString file = dir.filePath("marks/" + QString::fromLatin1(name.toUtf8().toHex()));
    EXPECT_EQ(testing::ReadFile(file), "5\n");
    testing::WriteFile(file, "five\n");
    EXPECT_FALSE(marks.read(name).ok());
    EXPECT_EQ(marks.raise(name, 6).value(), 6);
    // A long name's mark lies where the helper keeps it: its hex cut into folders.
    const QString longName(200, QLatin1Char('x'));
    EXPECT_EQ(marks.raise(longName, 4).value(), 4);
    EXPECT_EQ(marks.read(longName).value(), 4);
    const QString hex = QString::fromLatin1(longName.toUtf8().toHex());
    EXPECT_EQ(testing::ReadFile(dir.filePath("marks/" + hex.left(250) + "+/" + hex.mid(250))),
              "4\n");

    EXPECT_EQ(KeptMarkFromAnswer("kept 12"), 12);
    for (const QByteArray& wrong : {QByteArray("kept"), QByteArray("kept -1"),
                                    QByteArray("refused bad name"), QByteArray("kept 1 2")})
        EXPECT_FALSE(KeptMarkFromAnswer(wrong)) << wrong.constData();
}

} // namespace
} // namespace posflash
