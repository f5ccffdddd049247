#include "base/faces.h"
#include "minisign_tool.h"
#include "recipe/recipe_check.h"
#include "recipe/recipe_texts.h"
#include "recipe/trusted_keys.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

namespace posflash {
namespace {

using testing::MinisignTool;

const QDateTime kNow = QDateTime::fromString("2027-01-10T08:00:00Z", Qt::ISODate);
const QByteArray kImage = QByteArray(1000, 'p') + "tail";

Recipe Golden() {
    Recipe r;
    r.name = QStringLiteral("X1 2.4");
    r.imageSha256 = QCryptographicHash::hash(kImage, QCryptographicHash::Sha256);
    r.imageSize = kImage.size();
    r.expires = kNow.addDays(1);
    r.targets = QStringList{"COM3", "00-11-22-33-44-55"};
    r.labelPattern = QStringLiteral("SN[0-9]{4}");
    return r;
}

class RecipeCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        tool.makeKey("line");
        tool.makeKey("stranger");
        trusted = LoadTrustedKeys({tool.dir.path()});
        // The stranger's key is made, but only the line's is trusted.
        std::erase_if(trusted.keys, [](const MinisignPublicKey& k) {
            return !k.source.endsWith(QStringLiteral("line.pub"));
        });
        ASSERT_EQ(trusted.keys.size(), 1U);
    }
    QByteArray sign(const QByteArray& recipe, const QString& key) {
        const Result<MinisignSecretKey> secret = OpenMinisignSecretKey(tool.read(key + ".key"), {});
        EXPECT_TRUE(secret.ok());
        return secret ? SignMinisign(recipe, *secret, "t", "u") : QByteArray();
    }
    MinisignTool tool;
    TrustedKeys trusted;
};

TEST_F(RecipeCheckTest, EachCheckRefusesWithItsOwnCause) {
    const QByteArray golden = WriteRecipe(Golden());
    Recipe expired = Golden();
    expired.expires = kNow;
    struct Case {
        const char* name;
        QByteArray recipe;
        std::optional<QByteArray> signature; // nullopt: the recipe's own, by the line's key
        bool unsigned_ = false;
        QDateTime now = kNow;
        QByteArray image = kImage;
        RecipeImageKind kind = RecipeImageKind::Program;
        std::optional<QStringList> target = QStringList{"COM3", "/dev/ttyUSB0"};
        RecipeCause cause = RecipeCause::None;
        ImageMismatch how = ImageMismatch::None;
    };
    QByteArray changed = golden;
    changed.replace("X1 2.4", "X1 2.5");
    const Case cases[] = {
        {"approved", golden, {}},
        {"a target named in another form",
         golden,
         {},
         false,
         kNow,
         kImage,
         RecipeImageKind::Program,
         QStringList{"00:11:22:33:44:55"}},
        {"no unit chosen yet",
         golden,
         {},
         false,
         kNow,
         kImage,
         RecipeImageKind::Program,
         std::nullopt},
        {"no signature",
         golden,
         {},
         true,
         kNow,
         kImage,
         RecipeImageKind::Program,
         {},
         RecipeCause::Signature},
        {"a signature that is no signature",
         golden,
         QByteArray("garbage\n"),
         false,
         kNow,
         kImage,
         RecipeImageKind::Program,
         {},
         RecipeCause::Signature},
        {"changed after signing",
         changed,
         sign(golden, "line"),
         false,
         kNow,
         kImage,
         RecipeImageKind::Program,
         {},
         RecipeCause::Signature},
        {"signed by an untrusted key",
         golden,
         sign(golden, "stranger"),
         false,
         kNow,
         kImage,
         RecipeImageKind::Program,
         {},
         RecipeCause::UntrustedKey},
        {"signed but no recipe",
         "{\"version\": 1}",
         {},
         false,
         kNow,
         kImage,
         RecipeImageKind::Program,
         {},
         RecipeCause::Invalid},
        {"expired at this instant",
         WriteRecipe(expired),
         {},
         false,
         kNow,
         kImage,
         RecipeImageKind::Program,
         {},
         RecipeCause::Expired},
        {"another image of the same size",
         golden,
         {},
         false,
         kNow,
         QByteArray(1000, 'q') + "tail",
         RecipeImageKind::Program,
         {},
         RecipeCause::Image,
         ImageMismatch::Hash},
        {"a longer image",
         golden,
         {},
         false,
         kNow,
         kImage + "x",
         RecipeImageKind::Program,
         {},
         RecipeCause::Image,
         ImageMismatch::Size},
        {"the image as a font",
         golden,
         {},
         false,
         kNow,
         kImage,
         RecipeImageKind::Font,
         {},
         RecipeCause::Image,
         ImageMismatch::Kind},
        {"a port outside the recipe",
         golden,
         {},
         false,
         kNow,
         kImage,
         RecipeImageKind::Program,
         QStringList{"COM4", "/dev/ttyUSB1"},
         RecipeCause::Target},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecipeCheckInput input{c.recipe,
                               c.signature ? c.signature : sign(c.recipe, "line"),
                               trusted.keys,
                               c.now,
                               RecipeImage{c.image, c.kind},
                               std::nullopt};
        if (c.unsigned_)
            input.signature.reset();
        if (c.target)
            input.target = RecipeTarget{*c.target};
        const RecipeVerdict verdict = CheckRecipe(input);
        EXPECT_EQ(RecipeCauseName(verdict.cause).toStdString(),
                  RecipeCauseName(c.cause).toStdString())
            << verdict.detail.toStdString();
        EXPECT_EQ(verdict.image, c.how);
        EXPECT_EQ(verdict.ok(), verdict.detail.isEmpty()) << verdict.detail.toStdString();
        if (verdict.ok()) {
            ASSERT_TRUE(verdict.approved);
            EXPECT_EQ(verdict.approved->recipe, Golden());
            EXPECT_EQ(verdict.approved->signerKeyId, MinisignKeyIdText(trusted.keys[0].keyId));
            EXPECT_EQ(verdict.approved->recipeSha256,
                      QCryptographicHash::hash(c.recipe, QCryptographicHash::Sha256).toHex());
        }
    }
}

TEST(RecipeLabelTest, TheWholeLabelMustMatchAndMayBeRequired) {
    Recipe pattern = Golden();
    Recipe required = Golden();
    required.labelPattern.clear();
    required.labelRequired = true;
    struct Case {
        const char* name;
        const Recipe& recipe;
        QString label;
        LabelMismatch how;
    };
    const Case cases[] = {
        {"matching", pattern, "SN1234", LabelMismatch::None},
        {"a match inside a longer label", pattern, "XSN12345", LabelMismatch::Pattern},
        {"not matching", pattern, "AB1234", LabelMismatch::Pattern},
        {"no label, none required", pattern, "", LabelMismatch::None},
        {"no label, one required", required, "", LabelMismatch::Missing},
        {"any label without a pattern", required, "anything", LabelMismatch::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RecipeVerdict verdict = CheckRecipeLabel(c.recipe, c.label);
        EXPECT_EQ(verdict.label, c.how);
        EXPECT_EQ(verdict.cause,
                  c.how == LabelMismatch::None ? RecipeCause::None : RecipeCause::Label);
    }
}

TEST(TrustedKeysTest, ReadsEveryPubOfEveryFolderAndNamesTheBadOnes) {
    MinisignTool tool;
    tool.makeKey("a");
    QTemporaryDir second;
    QFile::copy(tool.path("a.pub"), second.filePath("copy.pub"));
    tool.write("broken.pub", "untrusted comment: x\nnot a key\n");
    tool.write("notes.txt", "untrusted comment: x\n");
    const TrustedKeys keys =
        LoadTrustedKeys({tool.dir.path(), second.path(), tool.path("no such folder")});
    ASSERT_EQ(keys.keys.size(), 2U);
    EXPECT_EQ(keys.keys[0].keyId, keys.keys[1].keyId);
    ASSERT_EQ(keys.unreadable.size(), 1);
    EXPECT_TRUE(keys.unreadable[0].contains("broken.pub"));
}

TEST(RecipeTextsTest, EveryRefusalHasItsWordsAndRemedyInBothFaces) {
    Faces faces;
    ASSERT_TRUE(faces.hasChinese()) << "the embedded translation is missing";
    const RecipeTexts texts(faces);
    struct Case {
        RecipeCause cause;
        ImageMismatch image = ImageMismatch::None;
        LabelMismatch label = LabelMismatch::None;
    };
    const Case cases[] = {
        {RecipeCause::Signature},
        {RecipeCause::UntrustedKey},
        {RecipeCause::Invalid},
        {RecipeCause::Expired},
        {RecipeCause::Image, ImageMismatch::Hash},
        {RecipeCause::Image, ImageMismatch::Size},
        {RecipeCause::Image, ImageMismatch::Kind},
        {RecipeCause::Target},
        {RecipeCause::Label, ImageMismatch::None, LabelMismatch::Missing},
        {RecipeCause::Label, ImageMismatch::None, LabelMismatch::Pattern},
    };
    QStringList seen;
    for (const Case& c : cases) {
        SCOPED_TRACE(RecipeCauseName(c.cause).toStdString());
        RecipeVerdict verdict;
        verdict.cause = c.cause;
        verdict.image = c.image;
        verdict.label = c.label;
        faces.setUseEnglish(true);
        const QString english = texts.cause(verdict);
        const QString remedy = texts.remedy(c.cause);
        faces.setUseEnglish(false);
        EXPECT_FALSE(english.isEmpty() || remedy.isEmpty());
        EXPECT_NE(texts.cause(verdict), english) << "no Chinese for " << english.toStdString();
        EXPECT_NE(texts.remedy(c.cause), remedy) << "no Chinese for " << remedy.toStdString();
        EXPECT_FALSE(seen.contains(english)) << "two causes say " << english.toStdString();
        seen << english;
    }
}

} // namespace
} // namespace posflash
