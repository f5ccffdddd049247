#include "unit/recipe_gate.h"

#include "base/named_values.h"
#include "download/refused_download.h"
#include "recipe/recipe_file.h"

#include <QFileInfo>

#include <utility>

namespace posflash {

namespace {

constexpr std::pair<RecipeCause, Cause> kCauses[] = {
    {RecipeCause::Signature, Cause::RecipeSignature},
    {RecipeCause::UntrustedKey, Cause::RecipeUntrustedKey},
    {RecipeCause::Invalid, Cause::RecipeInvalid},
    {RecipeCause::Expired, Cause::RecipeExpired},
    {RecipeCause::Image, Cause::RecipeImage},
    {RecipeCause::Target, Cause::RecipeTarget},
    {RecipeCause::Label, Cause::RecipeLabel},
    {RecipeCause::Name, Cause::RecipeName},
    {RecipeCause::Rollback, Cause::RecipeRollback},
    {RecipeCause::Unreadable, Cause::RecipeUnreadable},
};

} // namespace

Cause CauseOfRecipe(RecipeCause cause) {
    return SecondOf(kCauses, cause, Cause::None);
}

RecipeCause RecipeCauseOf(Cause cause) {
    return FirstOf(kCauses, cause, RecipeCause::None);
}

QStringList RecipeTargetNames(const Printer& target) {
    QStringList names;
    if (target.comNumber > 0)
        names << QStringLiteral("COM%1").arg(target.comNumber);
    for (const QString& name : {target.node, target.usbPath, target.mac})
        if (!name.isEmpty())
            names << name;
    return names;
}

std::variant<RecipeGate, RecipeVerdict> RecipeGate::open(const QString& path,
                                                         const std::vector<MinisignPublicKey>& keys,
                                                         const QDateTime& now) {
    Result<RecipeFiles> files = ReadRecipeFiles(path);
    if (!files)
        return UnreadableRecipe(path);
    return open(files->recipe, files->signature, keys, now);
}

std::variant<RecipeGate, RecipeVerdict> RecipeGate::open(const QByteArray& recipe,
                                                         const std::optional<QByteArray>& signature,
                                                         const std::vector<MinisignPublicKey>& keys,
                                                         const QDateTime& now) {
    RecipeVerdict verdict = VerifyRecipe(recipe, signature, keys, now);
    if (!verdict.ok())
        return verdict;
    return RecipeGate(std::move(*verdict.approved));
}

RecipeStamp RecipeGate::stamp() const {
    return {approved_.recipe.name, approved_.recipeSha256, approved_.signerKeyId,
            QLatin1String(RecipeModeName(approved_.recipe.mode)), approved_.recipe.sequence};
}

RecipeVerdict RecipeGate::checkImage(const LoadedImage& image) const {
    return CheckRecipeImage(approved_.recipe,
                            {static_cast<qint64>(image.bytes.size()), image.sha256, image.kind,
                             QFileInfo(image.path).fileName()});
}

RecipeVerdict RecipeGate::unreadableImage(const QString& path, const Error& error) {
    RecipeVerdict unread = RecipeRefusal(
        RecipeCause::Image, QStringLiteral("%1 cannot be read: %2").arg(path, error.text));
    unread.image = ImageMismatch::Hash;
    return unread;
}

RecipeVerdict RecipeGate::checkTarget(const Printer& target, const ComPortMap& comPorts) const {
    QStringList names = RecipeTargetNames(target);
    if (target.comNumber > 0) {
        if (const QString node = comPorts.devicePath(target.comNumber); !node.isEmpty())
            names << node;
    } else if (const int com = comPorts.comNumberOf(target.node); com > 0) {
        names << QStringLiteral("COM%1").arg(com);
    }
    return CheckRecipeTarget(approved_.recipe, {names});
}

RecipeVerdict RecipeGate::checkLabel(const QString& label) const {
    return CheckRecipeLabel(approved_.recipe, label);
}

RecipeVerdict RecipeGate::checkUnit(const Printer& target, const QString& label,
                                    const ComPortMap& comPorts) const {
    if (RecipeVerdict verdict = checkTarget(target, comPorts); !verdict.ok())
        return verdict;
    if (!target.mac.isEmpty() && !label.isEmpty() &&
        NormalTargetName(label) == NormalTargetName(target.mac))
        return {};
    return checkLabel(label);
}

DownloadResult RecipeGate::refusal(const RecipeVerdict& verdict, const DownloadJob& job) const {
    DownloadResult result = RefusedDownload(job, CauseOfRecipe(verdict.cause));
    result.error.detail = verdict.detail;
    return result;
}

} // namespace posflash
