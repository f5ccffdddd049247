// Recipes published to the line's PostgreSQL and a station's shift taking the one it may run:
// its signed name, its highest signed sequence, never below the station's marks, whatever
// rows are put beside it.
#include "line/image_summary.h"
#include "line/line_recipe.h"
#include "recipe/minisign_tool.h"
#include "support/cli_process.h"
#include "support/pg_cluster.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

namespace posflash::testing {
namespace {

class RecipeRecords : public PgSuite<RecipeRecords> {
protected:
    static void SetUpTestSuite() {
        PgSuite::SetUpTestSuite();
        if (cluster_)
            cluster_->admin("postgres", {"CREATE ROLE station LOGIN PASSWORD 'st-pw'",
                                         "CREATE ROLE engineers LOGIN PASSWORD 'en-pw'"});
    }

    void SetUp() override {
        PgSuite::SetUp();
        if (!cluster_)
            return;
        tool.makeKey("line");
        tool.systemKeys({"line"});
        ASSERT_EQ(cli({"records", "init"}).first, 0);
        // The engineers' role is granted the table later, as a careless administrator might.
        cluster_->admin("line", {"TRUNCATE posflash_recipes, posflash_recipe_marks",
                                 "GRANT SELECT ON posflash_schema, posflash_recipes TO station",
                                 "GRANT SELECT, INSERT, UPDATE ON posflash_recipe_marks TO station",
                                 "GRANT SELECT, INSERT ON posflash_recipes TO engineers",
                                 "GRANT USAGE ON SEQUENCE posflash_recipes_id_seq TO engineers"});
        tool.write("font.bin", QByteArray(3000, 'f'));
        source.trustedKeyFolders = {tool.path("etc/posflash/trusted-keys"), {}};
        source.copiesFolder = tool.path("copies");
        source.marksFolder = tool.path("marks");
        source.now = [] { return QDateTime::currentDateTimeUtc(); };
        settings.imagePath = tool.path("font.bin");
        settings.font = true;
        settings.recipeFromRecords = "X1 fonts";
        settings.records = stationUri();
        settings.language = "en";
    }

    QString stationUri() const { return cluster_->uri("station", "st-pw", "line"); }

    // posflash-cli as the line engineer (the database's owner) on a machine whose
    // administrator installed the line's key; records as role, when given.
    std::pair<int, QString> cli(const QStringList& args, const QString& records = {}) {
        QProcess p;
        isolate(p, tool.dir.path(),
                records.isEmpty() ? cluster_->uri("admin", PgCluster::kAdminPassword, "line")
                                  : records);
        startWithSystemKeys(p, tool.path("etc/posflash/trusted-keys"), POSFLASH_CLI_PATH, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(),
                QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
    }

    // A recipe for the font with these retries, signed by the line's key, published; its file.
    QString publish(const QString& name, int retries, int sequence,
                    const QString& mode = "production") {
        const QString path = tool.path(QString("r%1-%2.json").arg(retries).arg(sequence));
        const auto made = cli({"recipe", "make", "--image", tool.path("font.bin"), "--font",
                               "--name", name, "--retries", QString::number(retries), "--mode",
                               mode, "--sequence", QString::number(sequence), "--out", path});
        EXPECT_EQ(made.first, 0) << made.second.toStdString();
        tool.sign(QFileInfo(path).fileName(), "line", false);
        const auto published = cli({"records", "publish-recipe", path});
        EXPECT_EQ(published.first, 0) << published.second.toStdString();
        return path;
    }

    std::optional<int> stationRetries() {
        const ShiftRecipe shift =
            LoadShiftRecipe(settings, LoadShiftImage(settings.imagePath, true), source);
        if (!shift.gate)
            problem = shift.problem;
        return shift.gate ? shift.gate->recipe().retries : std::nullopt;
    }

    MinisignTool tool;
    RecipeSource source;
    LineSettings settings;
    QString problem;
};

TEST_F(RecipeRecords, TheNewestPublishedRecipeVerifiesAtTheStation) {
    publish("X1 fonts", 1, 1);
    publish("X1 fonts", 3, 2);
    EXPECT_EQ(stationRetries(), 3) << problem.toStdString();
    // What does not verify here is never published; nor a sequence not above the newest.
    tool.write("unsigned.json", tool.read("r1-1.json"));
    EXPECT_EQ(cli({"records", "publish-recipe", tool.path("unsigned.json")}).first, 2);
    const auto again = cli({"records", "publish-recipe", tool.path("r1-1.json")});
    EXPECT_NE(again.first, 0);
    EXPECT_TRUE(again.second.contains("not higher than the newest")) << again.second.toStdString();
    // make without --sequence takes one more than the newest published.
    ASSERT_EQ(cli({"recipe", "make", "--image", tool.path("font.bin"), "--font", "--name",
                   "X1 fonts", "--out", tool.path("next.json")})
                  .first,
              0);
    EXPECT_TRUE(tool.read("next.json").contains("\"sequence\": 3"));
}

// Whoever may insert into the table does not choose what a station runs: the engineers' role
// may not insert at all, and rows the owner puts back under the name (an older approval, an
// engineering recipe) are passed over or refused by their own cause.
TEST_F(RecipeRecords, RowsPutBesideTheNewestNeverChooseTheRecipe) {
    publish("X1 fonts", 4, 1); // image 2.4
    publish("X1 fonts", 5, 2); // image 2.5
    publish("X1 engineering", 9, 1, "engineering");
    const QString copyOld = "INSERT INTO posflash_recipes(name, recipe, signature, "
                            "recipe_sha256, sequence) SELECT 'X1 fonts', recipe, signature, "
                            "recipe_sha256, %1 FROM posflash_recipes WHERE name = '%2' AND "
                            "sequence = %3";
    for (const QString& insert :
         {copyOld.arg(7).arg("X1 fonts").arg(1), copyOld.arg(8).arg("X1 engineering").arg(1)}) {
        const QString refused = cluster_->refusal("line", "SET ROLE engineers; " + insert);
        EXPECT_TRUE(refused.contains("only the owner")) << refused.toStdString();
    }
    // Even the owner's rows do not choose.
    cluster_->admin("line", {copyOld.arg(7).arg("X1 fonts").arg(1),
                             copyOld.arg(8).arg("X1 engineering").arg(1)});
    EXPECT_EQ(stationRetries(), 5) << problem.toStdString();
    const auto fetched =
        cli({"recipe", "fetch", "X1 fonts", "--out", tool.path("got.json")}, stationUri());
    EXPECT_EQ(fetched.first, 0) << fetched.second.toStdString();
    EXPECT_EQ(tool.read("got.json"), tool.read("r5-2.json"));
    EXPECT_EQ(tool.read("got.json.minisig"), tool.read("r5-2.json.minisig"));
    EXPECT_EQ(cluster_->column("line", "SELECT role || ' ' || sequence FROM posflash_recipe_marks"),
              QStringList{"station 2"});
    const QString lowered = cluster_->refusal(
        "line", "SET ROLE station; UPDATE posflash_recipe_marks SET sequence = 1");
    EXPECT_TRUE(lowered.contains("never lowered")) << lowered.toStdString();

    // With 2.5 gone, the station that ran it refuses 2.4: in the window and the command line.
    cluster_->admin("line", {"DELETE FROM posflash_recipes WHERE recipe_sha256 = '" +
                             cluster_
                                 ->column("line", "SELECT recipe_sha256 FROM "
                                                  "posflash_recipes WHERE sequence = 2")
                                 .value(0) +
                             "'"});
    EXPECT_EQ(stationRetries(), std::nullopt);
    EXPECT_TRUE(problem.contains("older than one this station has already verified"))
        << problem.toStdString();
    const auto rollback = cli({"recipe", "fetch", "X1 fonts"}, stationUri());
    EXPECT_EQ(rollback.first, 1);
    EXPECT_TRUE(rollback.second.contains("refused: recipe-rollback"))
        << rollback.second.toStdString();
    // The records' mark holds for a station whose own marks are gone.
    source.marksFolder = tool.path("fresh-marks");
    EXPECT_EQ(stationRetries(), std::nullopt);

    // Only the engineering recipe under the name: refused by its signed name.
    cluster_->admin("line", {"DELETE FROM posflash_recipes WHERE name = 'X1 fonts' AND "
                             "sequence <> 8"});
    const auto named = cli({"recipe", "fetch", "X1 fonts"}, stationUri());
    EXPECT_EQ(named.first, 1);
    EXPECT_TRUE(named.second.contains("refused: recipe-name")) << named.second.toStdString();
}

TEST_F(RecipeRecords, ATamperedRowIsRefusedEvenWithAGoodCopyKept) {
    publish("X1 fonts", 1, 1);
    ASSERT_TRUE(stationRetries());
    cluster_->admin("line", {"UPDATE posflash_recipes SET recipe = convert_to(replace("
                             "convert_from(recipe, 'UTF8'), '\"retries\": 1', '\"retries\": 9'), "
                             "'UTF8')"});
    EXPECT_EQ(stationRetries(), std::nullopt);
    EXPECT_TRUE(problem.contains("signature is missing or does not verify"))
        << problem.toStdString();
}

// The kept copy is a cache, checked as the rows are: an older signed recipe copied over it is
// refused, and the header never says that a refused copy is used.
TEST_F(RecipeRecords, AServerAwayLeavesTheRecipeLastVerifiedHereAndNoOlderOne) {
    const QString older = publish("X1 fonts", 2, 1);
    publish("X1 fonts", 3, 2);
    ASSERT_EQ(stationRetries(), 3);
    cluster_->stopServer();
    const ShiftRecipe kept =
        LoadShiftRecipe(settings, LoadShiftImage(settings.imagePath, true), source);
    RecipeSource fresh = source;
    fresh.copiesFolder = tool.path("no-copies");
    const ShiftRecipe none =
        LoadShiftRecipe(settings, LoadShiftImage(settings.imagePath, true), fresh);
    const QString copy =
        tool.path("copies/") + QString::fromLatin1(QByteArray("X1 fonts").toHex()) + ".recipe";
    for (const QString& suffix : {QString(), QString(".minisig")}) {
        QFile::remove(copy + suffix);
        QFile::copy(older + suffix, copy + suffix);
    }
    const ShiftRecipe rolledBack =
        LoadShiftRecipe(settings, LoadShiftImage(settings.imagePath, true), source);
    ASSERT_TRUE(cluster_->startServer());
    ASSERT_TRUE(kept.gate) << kept.problem.toStdString();
    EXPECT_EQ(kept.gate->recipe().retries, 3);
    EXPECT_TRUE(kept.note.contains("cannot be reached")) << kept.note.toStdString();
    EXPECT_FALSE(none.gate);
    EXPECT_TRUE(none.problem.contains("no recipe X1 fonts verified before"))
        << none.problem.toStdString();
    EXPECT_FALSE(rolledBack.gate);
    EXPECT_TRUE(rolledBack.note.isEmpty()) << rolledBack.note.toStdString();
    EXPECT_TRUE(rolledBack.problem.contains("older than one this station"))
        << rolledBack.problem.toStdString();
}

} // namespace
} // namespace posflash::testing
