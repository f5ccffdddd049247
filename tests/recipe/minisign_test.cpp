#include "minisign_tool.h"
#include "recipe/minisign.h"
#include "recipe/recipe.h"

#include <gtest/gtest.h>

#include <functional>

namespace posflash {
namespace {

using testing::MinisignTool;

// Line 1 (the signature) or 3 (the comment's signature) with one bit of its signature flipped.
QByteArray FlipSignatureBit(QByteArray file, int line) {
    QList<QByteArray> lines = file.split('\n');
    QByteArray raw = QByteArray::fromBase64(lines[line]);
    raw[raw.size() - 1] = static_cast<char>(raw[raw.size() - 1] ^ 0x01);
    lines[line] = raw.toBase64();
    return lines.join('\n');
}

class MinisignTest : public ::testing::Test {
protected:
    void SetUp() override {
        tool.makeKey("line");
        tool.makeKey("other");
        tool.write("recipe.json", "{\"version\": 1}\n");
    }
    MinisignPublicKey key(const QString& name) {
        Result<MinisignPublicKey> k = ParseMinisignPublicKey(tool.read(name + ".pub"));
        EXPECT_TRUE(k.ok()) << k.error().text.toStdString();
        return k.value_or({});
    }
    MinisignTool tool;
};

TEST_F(MinisignTest, VerifiesBothKindsAndRefusesEveryTampering) {
    const MinisignPublicKey lineKey = key("line");
    // What is changed between signing and verifying: the recipe, the signature file or the key.
    // clang-format off
    using Tamper = std::function<void(QByteArray& message, QByteArray& file, MinisignPublicKey&)>;
    const Tamper recipe = [](QByteArray& m, QByteArray&, MinisignPublicKey&) { m.replace("1", "2"); };
    const Tamper signature = [](QByteArray&, QByteArray& f, MinisignPublicKey&) { f = FlipSignatureBit(f, 1); };
    const Tamper comment = [](QByteArray&, QByteArray& f, MinisignPublicKey&) { f.replace("by the line", "by the boss"); };
    const Tamper global = [](QByteArray&, QByteArray& f, MinisignPublicKey&) { f = FlipSignatureBit(f, 3); };
    const Tamper otherKey = [&](QByteArray&, QByteArray&, MinisignPublicKey& k) { k = key("other"); k.keyId = lineKey.keyId; };
    const struct { const char* name; bool legacy; Tamper tamper; } cases[] = {
        {"prehashed", false, {}},
        {"legacy", true, {}},
        {"prehashed, recipe changed", false, recipe},
        {"legacy, recipe changed", true, recipe},
        {"prehashed, signature changed", false, signature},
        {"legacy, signature changed", true, signature},
        {"prehashed, trusted comment changed", false, comment},
        {"legacy, trusted comment changed", true, comment},
        {"prehashed, comment's signature changed", false, global},
        {"prehashed, another key with the same id", false, otherKey},
        {"legacy, another key with the same id", true, otherKey},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray message = tool.read("recipe.json");
        QByteArray file = tool.sign("recipe.json", "line", c.legacy, "approved by the line");
        MinisignPublicKey used = lineKey;
        if (c.tamper)
            c.tamper(message, file, used);
        Result<MinisignSignature> signature = ParseMinisignSignature(file);
        ASSERT_TRUE(signature.ok()) << signature.error().text.toStdString();
        EXPECT_EQ(signature->prehashed, !c.legacy);
        const Result<MinisignVerified> verified = VerifyMinisign(message, *signature, used);
        EXPECT_EQ(verified.ok(), !c.tamper);
        if (verified) {
            EXPECT_EQ(verified->trustedComment, QStringLiteral("approved by the line"));
            // minisign names its key in the public key's comment line.
            EXPECT_TRUE(tool.read("line.pub").contains(verified->keyId.toLatin1()));
        } else {
            EXPECT_TRUE(verified.error().is(ErrorDomain::Recipe,
                                            static_cast<int>(RecipeError::SignatureInvalid)));
        }
    }
}

// Our signatures, by a key with or without a password, are accepted by minisign.
TEST_F(MinisignTest, OurSignatureIsAcceptedByMinisignAndAnEncryptedKeyOpensWithItsPasswordOnly) {
    const Result<MinisignSecretKey> secret = OpenMinisignSecretKey(tool.read("line.key"), {});
    ASSERT_TRUE(secret.ok()) << secret.error().text.toStdString();
    tool.write("recipe.json.minisig",
               SignMinisign(tool.read("recipe.json"), *secret, "timestamp:1\tfile:recipe.json",
                            "signature from a test"));
    EXPECT_TRUE(tool.verifies("recipe.json", "line"));
    EXPECT_FALSE(tool.verifies("recipe.json", "other"));

    tool.makeKey("locked", "line password");
    const QByteArray file = tool.read("locked.key");
    EXPECT_EQ(MinisignSecretKeyIsEncrypted(file).value_or(false), true);
    const Result<MinisignSecretKey> wrong = OpenMinisignSecretKey(file, "not it");
    ASSERT_FALSE(wrong.ok());
    EXPECT_TRUE(wrong.error().text.contains("wrong password"));
    const Result<MinisignSecretKey> opened = OpenMinisignSecretKey(file, "line password");
    ASSERT_TRUE(opened.ok()) << opened.error().text.toStdString();
    tool.write("recipe.json.minisig", SignMinisign(tool.read("recipe.json"), *opened, "t", "u"));
    EXPECT_TRUE(tool.verifies("recipe.json", "locked"));
}

TEST_F(MinisignTest, RefusesWhatIsNoKeyOrSignature) {
    const QByteArray key = tool.read("line.pub");
    const QByteArray sig = tool.sign("recipe.json", "line", false);
    ASSERT_TRUE(ParseMinisignPublicKey(key).ok() &&
                ParseMinisignPublicKey(key.split('\n')[1]).ok());
    ASSERT_TRUE(ParseMinisignSignature(sig).ok());
    QList<QByteArray> lines = sig.split('\n');
    const auto without = [&](int line) {
        QList<QByteArray> l = lines;
        l.removeAt(line);
        return l.join('\n');
    };
    QByteArray otherAlgorithm = key;
    otherAlgorithm[otherAlgorithm.indexOf("RW")] = 'Q'; // "Ed" in base64 begins "RW"
    const QByteArray keys[] = {"", key.left(key.size() - 20), otherAlgorithm, key + "more\n"};
    for (const QByteArray& file : keys)
        EXPECT_FALSE(ParseMinisignPublicKey(file).ok()) << file.constData();
    const QByteArray signatures[] = {"",         without(3),
                                     without(2), sig.left(sig.size() - 10) + "\n",
                                     key,        sig + QByteArray(20000, 'x')};
    for (const QByteArray& file : signatures) {
        const Result<MinisignSignature> parsed = ParseMinisignSignature(file);
        ASSERT_FALSE(parsed.ok()) << file.constData();
        EXPECT_TRUE(parsed.error().is(ErrorDomain::Recipe,
                                      static_cast<int>(RecipeError::BadSignatureFile)));
    }
}

// minisign 0.11 prints a key id without its leading zeros; a record must name the signer as
// minisign -G showed it to the engineer (read from a key minisign made).
TEST(MinisignKeyId, PrintsAsMinisignDoes) {
    EXPECT_EQ(MinisignKeyIdText(QByteArray::fromHex("b978d5383c80d303")).toStdString(),
              "3D3803C38D578B9");
    EXPECT_EQ(MinisignKeyIdText(QByteArray::fromHex("0ee239507df82c1d")).toStdString(),
              "1D2CF87D5039E20E");
}

} // namespace
} // namespace posflash
