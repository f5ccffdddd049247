#include "recipe/recipe_file.h"

#include "recipe/recipe.h"

#include <QFile>
#include <QFileInfo>

namespace posflash {

Result<std::optional<QByteArray>> ReadSmallFile(const QString& path, qint64 maxBytes) {
    const QFileInfo info(path);
    if (!info.exists())
        return std::optional<QByteArray>();
    QFile file(path);
    if (!info.isFile() || info.size() > maxBytes || !file.open(QIODevice::ReadOnly))
        return Error{
            static_cast<int>(RecipeError::FileAccess),
            QStringLiteral("%1 cannot be read (not a small regular file we may read)").arg(path),
            file.errorString(), ErrorDomain::Recipe};
    return std::optional<QByteArray>(file.read(maxBytes + 1));
}

Result<RecipeFiles> ReadRecipeFiles(const QString& path) {
    Result<std::optional<QByteArray>> recipe = ReadSmallFile(path, kMaxRecipeBytes);
    if (!recipe)
        return recipe.error();
    if (!*recipe)
        return Error{static_cast<int>(RecipeError::FileAccess),
                     QStringLiteral("there is no recipe %1").arg(path),
                     {},
                     ErrorDomain::Recipe};
    Result<std::optional<QByteArray>> signature =
        ReadSmallFile(path + QStringLiteral(".minisig"), kMaxSignatureBytes);
    if (!signature)
        return signature.error();
    return RecipeFiles{**recipe, *signature};
}

} // namespace posflash
