// Recipes and minisign files as a station may be handed them: any bytes. The first byte picks
// the parser; a recipe that is read must be written back to one that reads the same.

#include "fuzz_support.h"

#include "recipe/minisign.h"
#include "recipe/recipe.h"
#include "recipe/recipe_check.h"

using namespace posflash;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1,
                           static_cast<qsizetype>(size - 1));
    switch (data[0] % 4) {
    case 0: {
        const Result<Recipe> recipe = ParseRecipe(bytes);
        if (!recipe)
            break;
        const Result<Recipe> back = ParseRecipe(WriteRecipe(*recipe));
        FUZZ_CHECK(back.ok());
        FUZZ_CHECK(*back == *recipe);
        (void)CheckRecipeLabel(*recipe, QStringLiteral("SN0001"));
        break;
    }
    case 1: {
        const Result<MinisignSignature> signature = ParseMinisignSignature(bytes);
        if (!signature)
            break;
        FUZZ_CHECK(signature->keyId.size() == 8 && signature->signature.size() == 64 &&
                   signature->globalSignature.size() == 64);
        const MinisignPublicKey key{signature->keyId, QByteArray(32, '\x01'), {}, false};
        FUZZ_CHECK(!VerifyMinisign("recipe", *signature, key).ok());
        break;
    }
    case 2:
        if (const Result<MinisignPublicKey> key = ParseMinisignPublicKey(bytes); key)
            FUZZ_CHECK(key->keyId.size() == 8 && key->key.size() == 32);
        break;
    default:
        // An encrypted key would run scrypt at whatever cost it names: only the unencrypted
        // are opened.
        if (const Result<bool> encrypted = MinisignSecretKeyIsEncrypted(bytes);
            encrypted && !*encrypted)
            (void)OpenMinisignSecretKey(bytes, {});
        break;
    }
    return 0;
}
