#include "recipe/recipe.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

const QByteArray kSha(64, 'a');

// A valid recipe with one key replaced (or left out, with value "-").
QByteArray RecipeWith(const QByteArray& key, const QByteArray& value) {
    QList<QPair<QByteArray, QByteArray>> fields{
        {"version", "2"},
        {"name", "\"X1 firmware 2.4\""},
        {"sequence", "3"},
        {"image", "{\"sha256\": \"" + kSha + "\", \"size\": 1024, \"kind\": \"program\"}"},
        {"mode", "\"production\""},
    };
    bool replaced = false;
    for (auto& field : fields)
        if (field.first == key) {
            field.second = value;
            replaced = true;
        }
    if (!replaced)
        fields.append({key, value});
    QByteArrayList parts;
    for (const auto& [k, v] : fields)
        if (v != "-")
            parts << "\"" + k + "\": " + v;
    return "{" + parts.join(", ") + "}";
}

TEST(RecipeTest, RefusesAnythingOutsideTheSchema) {
    const auto image = [](const QByteArray& sha, const QByteArray& size, const QByteArray& kind) {
        return RecipeWith("image", "{\"sha256\": \"" + sha + "\", \"size\": " + size +
                                       ", \"kind\": \"" + kind + "\"}");
    };
    // mentions: a part of the error's text
    // clang-format off
    const struct { const char* name; QByteArray json; RecipeError code; const char* mentions; } cases[] = {
        {"not JSON", "{\"version\": 1", RecipeError::NotJson, "not JSON"},
        {"a list", "[1]", RecipeError::NotJson, "object"},
        {"no version", RecipeWith("version", "-"), RecipeError::BadField, "version"},
        {"a later version", RecipeWith("version", "3"), RecipeError::BadVersion, "version 3"},
        {"version 2 without a sequence", RecipeWith("sequence", "-"), RecipeError::BadField, "sequence"},
        {"a negative sequence", RecipeWith("sequence", "-1"), RecipeError::BadField, "negative"},
        {"a sequence in version 1", RecipeWith("version", "1"), RecipeError::BadField, "sequence"},
        {"an unknown key", RecipeWith("label_patern", "1"), RecipeError::BadField, "label_patern"},
        {"an unknown image key", RecipeWith("image", "{\"crc\": 1}"), RecipeError::BadField, "image.crc"},
        {"no name", RecipeWith("name", "-"), RecipeError::BadField, "name"},
        {"an empty name", RecipeWith("name", "\" \""), RecipeError::BadField, "name"},
        {"a number for a name", RecipeWith("name", "7"), RecipeError::BadField, "name"},
        {"no image", RecipeWith("image", "-"), RecipeError::BadField, "image"},
        {"a short sha256", image("abc", "1", "program"), RecipeError::BadField, "sha256"},
        {"a sha256 not hex", image(QByteArray(64, 'g'), "1", "program"), RecipeError::BadField, "sha256"},
        {"a negative size", image(kSha, "-1", "program"), RecipeError::BadField, "negative"},
        {"a fractional size", image(kSha, "1.5", "program"), RecipeError::BadField, "size"},
        {"a size in text", image(kSha, "\"1\"", "program"), RecipeError::BadField, "size"},
        {"another kind", image(kSha, "1", "boot"), RecipeError::BadField, "kind"},
        {"another mode", RecipeWith("mode", "\"test\""), RecipeError::BadField, "mode"},
        {"expiry without offset", RecipeWith("expires", "\"2027-01-01T00:00:00\""), RecipeError::BadField, "expires"},
        {"targets as a text", RecipeWith("targets", "\"COM3\""), RecipeError::BadField, "targets"},
        {"an empty target", RecipeWith("targets", "[\"\"]"), RecipeError::BadField, "targets"},
        {"a bad regular expression", RecipeWith("label_pattern", "\"SN(\""), RecipeError::BadField, "regular expression"},
        {"negative retries", RecipeWith("retries", "-1"), RecipeError::BadField, "retries"},
        {"one retry over the limit", RecipeWith("retries", "11"), RecipeError::BadField, "retries"},
        {"label_required as text", RecipeWith("label_required", "\"yes\""), RecipeError::BadField, "label_required"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Result<Recipe> parsed = ParseRecipe(c.json);
        ASSERT_FALSE(parsed.ok()) << c.json.constData();
        EXPECT_TRUE(parsed.error().is(ErrorDomain::Recipe, static_cast<int>(c.code)))
            << parsed.error().text.toStdString();
        EXPECT_TRUE(parsed.error().text.contains(QLatin1String(c.mentions)))
            << parsed.error().text.toStdString();
    }
}

TEST(RecipeTest, WhatIsWrittenReadsBackTheSame) {
    Recipe full;
    full.name = QStringLiteral("X1 \"golden\" 线");
    full.imageSha256 = QByteArray::fromHex(kSha);
    full.imageSize = 123456;
    full.imageKind = ImageKind::Font;
    full.mode = RecipeMode::Engineering;
    full.expires = ParseRecipeTime(QStringLiteral("2027-03-01T06:00:00+08:00"));
    full.targets = QStringList{"COM3", "/dev/ttyACM0", "00-11-22-33-44-55"};
    full.labelPattern = QStringLiteral("SN[0-9]{8}\\\\");
    full.retries = 2;
    full.labelRequired = true;
    full.sequence = 9007199254740992;
    Recipe least = full;
    least.sequence = 0;
    least.expires.reset();
    least.targets.clear();
    least.labelPattern.clear();
    least.retries.reset();
    least.labelRequired = false;
    for (const Recipe& recipe : {full, least}) {
        const Result<Recipe> back = ParseRecipe(WriteRecipe(recipe));
        ASSERT_TRUE(back.ok()) << back.error().text.toStdString();
        EXPECT_EQ(*back, recipe) << WriteRecipe(recipe).constData();
    }
    // A recipe of version 1, signed before sequences, reads as sequence 0.
    const Result<Recipe> old =
        ParseRecipe(RecipeWith("version", "1").replace("\"sequence\": 3, ", ""));
    ASSERT_TRUE(old.ok()) << old.error().text.toStdString();
    EXPECT_EQ(old->sequence, 0);
}

} // namespace
} // namespace posflash
