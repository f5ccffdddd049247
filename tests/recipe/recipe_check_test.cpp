#include "base/faces.h"
#include "minisign_tool.h"
#include "recipe/recipe_check.h"
#include "recipe/recipe_texts.h"
#include "recipe/trusted_keys.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <functional>

#include <unistd.h>

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

// A refusal has its words and its remedy, and both have a Chinese face.
void ExpectWordsInBothFaces(const RecipeVerdict& verdict) {
    Faces faces;
    ASSERT_TRUE(faces.hasChinese()) << "the embedded translation is missing";
    const RecipeTexts texts(faces);
    faces.setUseEnglish(true);
    const QString english = texts.cause(verdict) + texts.remedy(verdict.cause);
    faces.setUseEnglish(false);
    EXPECT_FALSE(texts.cause(verdict).isEmpty() || texts.remedy(verdict.cause).isEmpty());
    EXPECT_NE(texts.cause(verdict) + texts.remedy(verdict.cause), english);
    // The Chinese face keeps no English detail: ours is translated, a lower layer's left out.
    if (!verdict.detail.isEmpty()) {
        EXPECT_FALSE(texts.cause(verdict).contains(verdict.detail)) << verdict.detail.toStdString();
    }
}

class RecipeCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        tool.makeKey("line");
        tool.makeKey("stranger");
        // The stranger's key is made, but only the line's is trusted.
        trusted = LoadTrustedKeys({tool.systemKeys({"line"}), {}});
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
    // What a station checks before the first frame; target is nullopt when no unit is chosen.
    struct In {
        QByteArray recipe;
        std::optional<QByteArray> signature;
        RecipeImage image;
        std::optional<RecipeTarget> target;
    };
    // The checks in the order a station makes them; the first that refuses decides.
    const auto check = [this](const In& in) {
        RecipeVerdict verdict = VerifyRecipe(in.recipe, in.signature, trusted.keys, kNow);
        if (!verdict.ok())
            return verdict;
        if (RecipeVerdict image = CheckRecipeImage(verdict.approved->recipe, in.image); !image.ok())
            return image;
        if (in.target)
            if (RecipeVerdict t = CheckRecipeTarget(verdict.approved->recipe, *in.target); !t.ok())
                return t;
        return verdict;
    };
    // Signs the recipe again after changing it, as its engineer would.
    const auto resigned = [this](const std::function<void(Recipe&)>& edit) {
        return [this, edit](In& in) {
            Recipe r = Golden();
            edit(r);
            in.recipe = WriteRecipe(r);
            in.signature = sign(in.recipe, "line");
        };
    };
    // how: which part of the image differs
    // clang-format off
    const struct { const char* name; std::function<void(In&)> change; RecipeCause cause; ImageMismatch how; } cases[] = {
        {"approved", [](In&) {}, RecipeCause::None, ImageMismatch::None},
        {"a target named in another form", [](In& in) { in.target = RecipeTarget{{"00:11:22:33:44:55"}}; }, RecipeCause::None, ImageMismatch::None},
        {"no unit chosen yet", [](In& in) { in.target.reset(); }, RecipeCause::None, ImageMismatch::None},
        {"no signature", [](In& in) { in.signature.reset(); }, RecipeCause::Signature, ImageMismatch::None},
        {"a signature that is no signature", [](In& in) { in.signature = "garbage\n"; }, RecipeCause::Signature, ImageMismatch::None},
        {"changed after signing", [](In& in) { in.recipe.replace("X1 2.4", "X1 2.5"); }, RecipeCause::Signature, ImageMismatch::None},
        {"signed by an untrusted key", [this](In& in) { in.signature = sign(in.recipe, "stranger"); }, RecipeCause::UntrustedKey, ImageMismatch::None},
        {"signed but no recipe", [this](In& in) { in.recipe = "{\"version\": 1}"; in.signature = sign(in.recipe, "line"); }, RecipeCause::Invalid, ImageMismatch::None},
        {"expired at this instant", resigned([](Recipe& r) { r.expires = kNow; }), RecipeCause::Expired, ImageMismatch::None},
        {"another image of the same size", [](In& in) { in.image.sha256[0] = 'q'; }, RecipeCause::Image, ImageMismatch::Hash},
        {"a longer image", [](In& in) { ++in.image.size; }, RecipeCause::Image, ImageMismatch::Size},
        {"the image as a font", [](In& in) { in.image.kind = ImageKind::Font; }, RecipeCause::Image, ImageMismatch::Kind},
        {"a port outside the recipe", [](In& in) { in.target = RecipeTarget{{"COM4", "/dev/ttyUSB1"}}; }, RecipeCause::Target, ImageMismatch::None},
    };
    // clang-format on
    const QByteArray golden = WriteRecipe(Golden());
    const QByteArray signature = sign(golden, "line");
    const RecipeTarget target{{"COM3", "/dev/ttyUSB0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        In input{golden,
                 signature,
                 {kImage.size(), Golden().imageSha256, ImageKind::Program, {}},
                 target};
        c.change(input);
        const RecipeVerdict verdict = check(input);
        EXPECT_EQ(RecipeCauseName(verdict.cause).toStdString(),
                  RecipeCauseName(c.cause).toStdString())
            << verdict.detail.toStdString();
        EXPECT_EQ(verdict.image, c.how);
        // Two hashes are never left to be compared by eye: short, with the place they part.
        if (c.how == ImageMismatch::Hash) {
            EXPECT_TRUE(verdict.detail.contains(
                QRegularExpression("^the image's SHA-256 is [0-9a-f]{12,}…, the approved one "
                                   "[0-9a-f]{12,}…: they differ from digit [0-9]+ on$")))
                << verdict.detail.toStdString();
        }
        if (!verdict.ok())
            ExpectWordsInBothFaces(verdict);
        if (verdict.ok()) {
            ASSERT_TRUE(verdict.approved);
            EXPECT_EQ(verdict.approved->recipe, Golden());
            EXPECT_EQ(verdict.approved->signerKeyId, MinisignKeyIdText(trusted.keys[0].keyId));
            EXPECT_EQ(verdict.approved->recipeSha256,
                      QCryptographicHash::hash(golden, QCryptographicHash::Sha256).toHex());
        }
    }
}

TEST(RecipeLabelTest, TheWholeLabelMustMatchAndMayBeRequired) {
    Recipe pattern = Golden();
    Recipe required = Golden();
    required.labelPattern.clear();
    required.labelRequired = true;
    // clang-format off
    const struct { const char* name; const Recipe& recipe; QString label; LabelMismatch how; } cases[] = {
        {"matching", pattern, "SN1234", LabelMismatch::None},
        {"a match inside a longer label", pattern, "XSN12345", LabelMismatch::Pattern},
        {"not matching", pattern, "AB1234", LabelMismatch::Pattern},
        {"no label, none required", pattern, "", LabelMismatch::None},
        {"no label, one required", required, "", LabelMismatch::Missing},
        {"any label without a pattern", required, "anything", LabelMismatch::None},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RecipeVerdict verdict = CheckRecipeLabel(c.recipe, c.label);
        EXPECT_EQ(verdict.label, c.how);
        EXPECT_EQ(verdict.cause,
                  c.how == LabelMismatch::None ? RecipeCause::None : RecipeCause::Label);
        if (!verdict.ok())
            ExpectWordsInBothFaces(verdict);
    }
}

TEST(TrustedKeysTest, ReadsEveryPubOfBothFoldersAndNamesTheBadOnes) {
    MinisignTool tool;
    tool.makeKey("a");
    QTemporaryDir user;
    QFile::copy(tool.path("a.pub"), user.filePath("copy.pub"));
    const QString system = tool.systemKeys({"a"});
    tool.write("etc/posflash/trusted-keys/broken.pub", "untrusted comment: x\nnot a key\n");
    QFile::setPermissions(tool.path("etc/posflash/trusted-keys/broken.pub"), QFile::ReadOwner);
    const TrustedKeys keys = LoadTrustedKeys({system, user.path()});
    ASSERT_EQ(keys.keys.size(), 2U);
    EXPECT_EQ(keys.keys[0].keyId, keys.keys[1].keyId);
    EXPECT_TRUE(keys.keys[0].approvesProduction);
    EXPECT_FALSE(keys.keys[1].approvesProduction);
    ASSERT_EQ(keys.unreadable.size(), 1);
    EXPECT_TRUE(keys.unreadable[0].contains("broken.pub"));
}

// An operator's own key approves engineering recipes and never production ones; the
// administrator's folder is trusted only while root alone can change it.
TEST(TrustedKeysTest, ProductionNeedsAKeyOfAFolderRootAloneHolds) {
    MinisignTool tool;
    tool.makeKey("k");
    const Result<MinisignSecretKey> secret = OpenMinisignSecretKey(tool.read("k.key"), {});
    ASSERT_TRUE(secret.ok());
    Recipe production = Golden();
    Recipe engineering = Golden();
    engineering.mode = RecipeMode::Engineering;
    const auto verify = [&](const Recipe& r, const TrustedKeyFolders& folders) {
        const QByteArray bytes = WriteRecipe(r);
        return VerifyRecipe(bytes, SignMinisign(bytes, *secret, "t", "u"),
                            LoadTrustedKeys(folders).keys, kNow);
    };
    QTemporaryDir user;
    QFile::copy(tool.path("k.pub"), user.filePath("k.pub"));
    EXPECT_TRUE(verify(engineering, {{}, user.path()}).ok());
    const RecipeVerdict refused = verify(production, {{}, user.path()});
    EXPECT_EQ(refused.cause, RecipeCause::UntrustedKey);
    EXPECT_TRUE(refused.detail.contains("engineering recipes only"))
        << refused.detail.toStdString();

    const QString system = tool.systemKeys({"k"});
    const RecipeVerdict approved = verify(production, {system, user.path()});
    ASSERT_TRUE(approved.ok());
    EXPECT_TRUE(approved.approved->byAdministrator);
    EXPECT_TRUE(approved.approved->keyFile.startsWith(system));

    const auto mode = [](QFile::Permissions extra) {
        return QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
               QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther | extra;
    };
    struct Case {
        const char* what;
        std::function<void()> spoil;
        const char* why;
    };
    const Case cases[] = {
        {"the folder writable by its group",
         [&] { QFile::setPermissions(system, mode(QFile::WriteGroup)); }, "writable by its group"},
        {"its parent writable by others",
         [&] { QFile::setPermissions(tool.path("etc/posflash"), mode(QFile::WriteOther)); },
         "writable by others"},
        {"a key file not root's",
         [&] {
             ASSERT_EQ(::chown(QFile::encodeName(system + "/k.pub").constData(), 65534, 65534), 0);
         },
         "not owned by root"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tool.systemKeys({"k"});
        c.spoil();
        const TrustedKeys keys = LoadTrustedKeys({system, {}});
        EXPECT_TRUE(keys.keys.empty());
        EXPECT_TRUE(keys.systemRefusal.contains(c.why)) << keys.systemRefusal.toStdString();
        EXPECT_EQ(verify(production, {system, {}}).cause, RecipeCause::UntrustedKey);
    }
}

} // namespace
} // namespace posflash
