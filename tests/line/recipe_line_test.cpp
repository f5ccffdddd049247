// The production window under a line recipe: the start panel refusing a wrong image, the label
// box refusing a label off the pattern, slots outside the recipe, engineering units.
#include "line/slot_tile.h"
#include "line/start_panel.h"
#include "line_fixture.h"
#include "recipe/minisign_tool.h"
#include "recipe/recipe.h"
#include "support/program_image.h"

#include <QCryptographicHash>
#include <QDir>
#include <QPushButton>

namespace posflash::testing {
namespace {

// A recipe signed by the line's key, whose public key is the station's one trusted key.
class RecipeLineTest : public LineFixture {
protected:
    RecipeLineTest() {
        tool.makeKey("line");
        QDir().mkpath(tool.path("trusted"));
        QFile::copy(tool.path("line.pub"), tool.path("trusted/line.pub"));
        source.trustedKeyFolders = {tool.path("trusted")};
        source.copiesFolder = tool.path("copies");
        source.now = [] { return QDateTime::currentDateTimeUtc(); };
        host.loadRecipe = [this](const LineSettings& s) { return LoadShiftRecipe(s, source); };
        const Bytes bytes = WriteProgramImage(tool.path("fw.bin"), 8 * 1024);
        WriteProgramImage(tool.path("fw-other.bin"), 8 * 1024 + 4);
        recipe.name = "X1 2.4";
        recipe.imageSha256 =
            QCryptographicHash::hash(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<qsizetype>(bytes.size())),
                                     QCryptographicHash::Sha256);
        recipe.imageSize = static_cast<qint64>(bytes.size());
        recipe.labelPattern = "SN[0-9]{4}";
        recipe.expires = QDateTime::fromString("2099-01-01T00:00:00Z", Qt::ISODate);
    }
    ~RecipeLineTest() override { window.reset(); }

    // With a label required, under the recipe as it stands, signed again.
    LineSettings settingsFor(const QStringList& ports) {
        LineSettings s = LineFixture::settingsFor(tool.path("fw.bin"), ports);
        s.requireLabel = true;
        tool.write("r.json", WriteRecipe(recipe));
        tool.sign("r.json", "line", false);
        s.recipe = tool.path("r.json");
        return s;
    }

    MinisignTool tool;
    RecipeSource source;
    Recipe recipe;
};

TEST_F(RecipeLineTest, TheStartPanelShowsTheRecipeAndRefusesAnotherImageInWords) {
    LineSettings s = settingsFor({"/dev/ttyS0"});
    {
        StartPanel panel(s, nullptr, host.loadRecipe);
        const QString line = FindControl<QLabel>(&panel, "lblRecipe").text();
        const QByteArray keyId = tool.read("line.pub").split('\n')[0].split(' ').last();
        for (const QString& part : {QString("X1 2.4"), QString("production"),
                                    QString::fromLatin1(keyId), QString("until 2099-01-01")})
            EXPECT_TRUE(line.contains(part)) << line.toStdString();
    }
    s.imagePath = tool.path("fw-other.bin");
    StartPanel panel(s, nullptr, host.loadRecipe);
    FindControl<QPushButton>(&panel, "btnStart").click();
    EXPECT_NE(panel.result(), QDialog::Accepted);
    const QString problem = FindControl<QLabel>(&panel, "lblProblem").text();
    EXPECT_TRUE(problem.contains("size differs from the approved image")) << problem.toStdString();
}

// A label off the pattern is refused at the box and asked for again; the right one starts the
// unit, whose row names the recipe. A slot the recipe does not name is not in use, not failed.
TEST_F(RecipeLineTest, ALabelOffThePatternIsAskedForAgainAndSlotsOutsideAreNotInUse) {
    const QString good = sims.serial().link();
    const QString outside = sims.serial().link();
    recipe.targets = {good};
    open(settingsFor({good, outside})).startShift();
    EXPECT_EQ(window->tile(2).state(), TileState::NotInUse);
    EXPECT_EQ(window->tile(1).state(), TileState::NeedsLabel);

    scan("BAD-1");
    EXPECT_EQ(window->tile(1).state(), TileState::NeedsLabel);
    EXPECT_TRUE(figure("lblNextLabel").contains("does not match"))
        << figure("lblNextLabel").toStdString();
    EXPECT_EQ(beeps, 1);

    scan("SN0007");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(window->tile(1).state(), TileState::Pass)
        << window->tile(1).detailText().toStdString();
    EXPECT_EQ(window->tile(2).state(), TileState::NotInUse);
    EXPECT_EQ(window->counters().total(), 1);
    const auto history = rows();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].recipe + " " + history[0].label + " " + history[0].mode,
              "X1 2.4 SN0007 production");
}

TEST_F(RecipeLineTest, EngineeringUnitsAreRecordedButNotCounted) {
    recipe.mode = RecipeMode::Engineering;
    recipe.labelPattern.clear();
    LineSettings s = settingsFor({sims.serial().link()});
    s.requireLabel = false;
    open(s).startShift();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(window->tile(1).state(), TileState::Pass)
        << window->tile(1).detailText().toStdString();
    EXPECT_EQ(window->counters().total(), 0);
    const auto history = rows();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].mode, "engineering");
}

} // namespace
} // namespace posflash::testing
