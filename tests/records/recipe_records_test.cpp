// Recipes published to the line's PostgreSQL and a station's shift taking the newest, verified.
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
            cluster_->admin("postgres", {"CREATE ROLE station LOGIN PASSWORD 'st-pw'"});
    }

    void SetUp() override {
        PgSuite::SetUp();
        if (!cluster_)
            return;
        ASSERT_TRUE(cli({"records", "init"}).first == 0);
        cluster_->admin("line", {"TRUNCATE posflash_recipes",
                                 "GRANT SELECT ON posflash_schema, posflash_recipes TO station"});
        tool.makeKey("line");
        QDir().mkpath(tool.path("config/posflash/trusted-keys"));
        QFile::copy(tool.path("line.pub"), tool.path("config/posflash/trusted-keys/line.pub"));
        tool.write("font.bin", QByteArray(3000, 'f'));
        source.trustedKeyFolders = {tool.path("config/posflash/trusted-keys")};
        source.copiesFolder = tool.path("copies");
        source.now = [] { return QDateTime::currentDateTimeUtc(); };
        settings.imagePath = tool.path("font.bin");
        settings.font = true;
        settings.recipeFromRecords = "X1 fonts";
        settings.records = cluster_->uri("station", "st-pw", "line");
        settings.language = "en";
    }

    // posflash-cli as the line engineer (the database's owner), its keys in the tool's folder.
    std::pair<int, QString> cli(const QStringList& args) {
        QProcess p;
        isolate(p, tool.dir.path(), cluster_->uri("admin", PgCluster::kAdminPassword, "line"));
        p.start(POSFLASH_CLI_PATH, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardError())};
    }

    // A recipe for the font with these retries, signed by the line's key, published.
    void publish(int retries) {
        const QString path = tool.path(QString("r%1.json").arg(retries));
        const auto made =
            cli({"recipe", "make", "--image", tool.path("font.bin"), "--font", "--name", "X1 fonts",
                 "--retries", QString::number(retries), "--out", path});
        ASSERT_EQ(made.first, 0) << made.second.toStdString();
        tool.sign(QFileInfo(path).fileName(), "line", false);
        const auto published = cli({"records", "publish-recipe", path});
        ASSERT_EQ(published.first, 0) << published.second.toStdString();
    }

    MinisignTool tool;
    RecipeSource source;
    LineSettings settings;
};

TEST_F(RecipeRecords, TheNewestPublishedRecipeVerifiesAtTheStation) {
    publish(1);
    publish(3);
    const ShiftRecipe shift = LoadShiftRecipe(settings, source);
    ASSERT_TRUE(shift.gate) << shift.problem.toStdString();
    EXPECT_EQ(shift.gate->recipe().retries, 3);
    EXPECT_TRUE(shift.note.isEmpty());
    // What does not verify here is never published.
    tool.write("unsigned.json", tool.read("r1.json"));
    EXPECT_EQ(cli({"records", "publish-recipe", tool.path("unsigned.json")}).first, 2);
}

TEST_F(RecipeRecords, ATamperedRowIsRefusedEvenWithAGoodCopyKept) {
    publish(1);
    ASSERT_TRUE(LoadShiftRecipe(settings, source).gate);
    cluster_->admin("line", {"UPDATE posflash_recipes SET recipe = convert_to(replace("
                             "convert_from(recipe, 'UTF8'), '\"retries\": 1', '\"retries\": 9'), "
                             "'UTF8')"});
    ASSERT_EQ(cluster_->column("line", "SELECT count(*) FROM posflash_recipes WHERE "
                                       "position('\"retries\": 9' in convert_from(recipe, "
                                       "'UTF8')) > 0"),
              QStringList{"1"});
    const ShiftRecipe shift = LoadShiftRecipe(settings, source);
    EXPECT_FALSE(shift.gate);
    EXPECT_TRUE(shift.problem.contains("signature is missing or does not verify"))
        << shift.problem.toStdString();
}

TEST_F(RecipeRecords, AServerAwayLeavesTheRecipeLastVerifiedHere) {
    publish(2);
    ASSERT_TRUE(LoadShiftRecipe(settings, source).gate);
    cluster_->stopServer();
    const ShiftRecipe kept = LoadShiftRecipe(settings, source);
    RecipeSource fresh = source;
    fresh.copiesFolder = tool.path("no-copies");
    const ShiftRecipe none = LoadShiftRecipe(settings, fresh);
    ASSERT_TRUE(cluster_->startServer());
    ASSERT_TRUE(kept.gate) << kept.problem.toStdString();
    EXPECT_EQ(kept.gate->recipe().retries, 2);
    EXPECT_TRUE(kept.note.contains("cannot be reached")) << kept.note.toStdString();
    EXPECT_FALSE(none.gate);
    EXPECT_TRUE(none.problem.contains("no recipe X1 fonts verified before"))
        << none.problem.toStdString();
}

} // namespace
} // namespace posflash::testing
