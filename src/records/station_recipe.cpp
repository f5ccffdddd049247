#include "records/station_recipe.h"

#include "recipe/recipe_file.h"
#include "records/recipe_records.h"
#include "records/records_address.h"

#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <utility>
#include <vector>

namespace posflash {

namespace {

// A signed recipe as found: a row of the records, or the kept copy.
struct Candidate {
    QByteArray recipe;
    std::optional<QByteArray> signature;
};

// A name may hold any character: its copy goes by the name's bytes in hex.
QString copyPath(const RecipeSource& source, const QString& name) {
    return QDir(source.copiesFolder)
        .filePath(QString::fromLatin1(name.toUtf8().toHex()) + QStringLiteral(".recipe"));
}

void keepCopy(const RecipeSource& source, const QString& name, const Candidate& chosen) {
    QDir().mkpath(source.copiesFolder);
    const QString path = copyPath(source, name);
    for (const auto& [file, bytes] :
         {std::pair{path + QStringLiteral(".minisig"), chosen.signature.value_or(QByteArray())},
          std::pair{path, chosen.recipe}}) {
        QSaveFile out(file);
        if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size())
            out.commit();
    }
}

// Of the candidates, newest first: the verified one of name with the highest signed sequence
// (the newest of equals), not below mark. Rows of another name and rows that do not verify are
// passed over; when nothing is left, the reason is the first such row's.
void choose(const std::vector<Candidate>& candidates, const QString& name, std::int64_t mark,
            const TrustedKeys& trusted, const QDateTime& now, StationRecipe& out) {
    std::optional<RecipeVerdict> firstRefusal;
    QString otherName;
    const Candidate* best = nullptr;
    RecipeVerdict bestVerdict;
    for (const Candidate& candidate : candidates) {
        RecipeVerdict verdict =
            VerifyRecipe(candidate.recipe, candidate.signature, trusted.keys, now);
        if (!verdict.ok()) {
            if (!firstRefusal)
                firstRefusal = std::move(verdict);
            continue;
        }
        const Recipe& recipe = verdict.approved->recipe;
        if (recipe.name != name) {
            if (otherName.isEmpty())
                otherName = recipe.name;
            continue;
        }
        if (!best || recipe.sequence > bestVerdict.approved->recipe.sequence) {
            best = &candidate;
            bestVerdict = std::move(verdict);
        }
    }
    out.found = StationRecipe::Found::Refused;
    if (!best) {
        out.verdict = !otherName.isEmpty()
                          ? RecipeRefusal(RecipeCause::Name,
                                          QStringLiteral("the recipe stored as \"%1\" is signed "
                                                         "as \"%2\"")
                                              .arg(name, otherName))
                          : firstRefusal.value_or(RecipeRefusal(RecipeCause::Invalid));
        if (!candidates.empty()) {
            out.recipe = candidates.front().recipe;
            out.signature = candidates.front().signature;
        }
        return;
    }
    out.recipe = best->recipe;
    out.signature = best->signature;
    if (const std::int64_t sequence = bestVerdict.approved->recipe.sequence; sequence < mark) {
        out.verdict = RecipeRefusal(
            RecipeCause::Rollback,
            QStringLiteral("the newest recipe %1 that verifies has sequence %2; this station "
                           "has verified %3")
                .arg(name)
                .arg(sequence)
                .arg(mark));
        return;
    }
    out.found = StationRecipe::Found::Verified;
    out.verdict = std::move(bestVerdict);
}

QString joined(const QString& a, const QString& b) {
    return a.isEmpty() ? b : b.isEmpty() ? a : a + QStringLiteral("; ") + b;
}

} // namespace

RecipeSource RecipeSource::station() {
    RecipeSource source;
    source.trustedKeyFolders = TrustedKeyFolders::station();
    source.copiesFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                          QStringLiteral("/posflash/recipes");
    const RecipeMarks marks = RecipeMarks::station();
    source.marksFolder = marks.folder();
    source.markHelperPath = marks.helperPath();
    source.now = [] { return QDateTime::currentDateTimeUtc(); };
    return source;
}

StationRecipe FetchStationRecipe(const QString& recordsText, const QString& name,
                                 const RecipeSource& source) {
    StationRecipe out;
    out.marksFolder = source.marksFolder;
    const TrustedKeys trusted = LoadTrustedKeys(source.trustedKeyFolders);
    out.keyFaults = trusted.unreadable;
    const QDateTime now = source.now ? source.now() : QDateTime::currentDateTimeUtc();
    const Result<RecordsAddress> address = ParseRecordsAddress(recordsText);
    if (recordsText.isEmpty() || !address)
        return out;
    // Without a folder a mark could not be kept, and a rollback not seen.
    const RecipeMarks marks(source.marksFolder, source.markHelperPath);
    const Result<std::int64_t> local =
        source.marksFolder.isEmpty()
            ? Result<std::int64_t>(Error{0, QStringLiteral("no folder keeps this station's "
                                                           "recipe marks")})
            : marks.read(name);
    if (!local) {
        out.found = StationRecipe::Found::Refused;
        out.verdict = RecipeRefusal(RecipeCause::Rollback, local.error().text);
        return out;
    }
    out.mark = *local;

    PgLink link(*address);
    Result<std::vector<PublishedRecipe>> rows = std::vector<PublishedRecipe>{};
    if (Status opened = link.open(); !opened)
        rows = opened.error();
    else
        rows = FetchPublishedRecipes(link, name);
    const Result<std::int64_t> roleMark = rows ? ReadRoleMark(link, name) : rows.error();
    std::vector<Candidate> candidates;
    if (rows && roleMark) {
        if (rows->empty()) {
            out.found = StationRecipe::Found::NonePublished;
            return out;
        }
        out.mark = std::max(out.mark, *roleMark);
        for (const PublishedRecipe& row : *rows)
            candidates.push_back({row.recipe, row.signature});
    } else {
        out.fromCopy = true;
        out.unreachable = rows ? roleMark.error().text : rows.error().text;
        const Result<RecipeFiles> copy = ReadRecipeFiles(copyPath(source, name));
        if (!copy) {
            out.found = StationRecipe::Found::NoCopy;
            return out;
        }
        // The copy is checked as the server's rows are: a recipe copied over it is no better
        // than a row inserted beside them.
        candidates.push_back({copy->recipe, copy->signature});
    }
    choose(candidates, name, out.mark, trusted, now, out);
    if (out.found != StationRecipe::Found::Verified)
        return out;

    const ApprovedRecipe& approved = *out.verdict.approved;
    if (!out.fromCopy) {
        keepCopy(source, name, {out.recipe, out.signature});
        if (Status raised =
                RaiseRoleMark(link, name, approved.recipe.sequence, approved.recipeSha256);
            !raised)
            out.markTrouble = raised.error().text;
    }
    if (Result<std::int64_t> raised = marks.raise(name, approved.recipe.sequence); !raised)
        out.markTrouble = joined(out.markTrouble, raised.error().text);
    return out;
}

} // namespace posflash
