// The production window under a line recipe: the start panel refusing a wrong image, the label
// box refusing a label off the pattern, slots outside the recipe, engineering units.
#include "history/history_store.h"
#include "line/line_window.h"
#include "line/slot_tile.h"
#include "line/start_panel.h"
#include "recipe/minisign_tool.h"
#include "recipe/recipe.h"
#include "support/fake_usb_inventory.h"
#include "support/printer_sims.h"
#include "support/private_home.h"
#include "support/program_image.h"
#include "support/widget_finder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace posflash::testing {
namespace {

class RecipeLineTest : public ::testing::Test, protected PrivateHome {
protected:
    RecipeLineTest() {
        tool.makeKey("line");
        QDir().mkpath(tool.path("trusted"));
        QFile::copy(tool.path("line.pub"), tool.path("trusted/line.pub"));
        source.trustedKeyFolders = {tool.path("trusted")};
        source.copiesFolder = tool.path("copies");
        source.now = [] { return QDateTime::currentDateTimeUtc(); };
        host.loadRecipe = [this](const LineSettings& s) { return LoadShiftRecipe(s, source); };
        host.beep = [this] { ++beeps; };
        host.historyPath = HistoryStore::defaultPath();
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

    // The recipe as it stands, signed by the line's key.
    QString signedRecipe() {
        tool.write("r.json", WriteRecipe(recipe));
        tool.sign("r.json", "line", false);
        return tool.path("r.json");
    }

    LineSettings settingsFor(const QStringList& ports) {
        LineSettings s;
        s.imagePath = tool.path("fw.bin");
        s.ports = ports;
        s.operatorName = "Li Wei";
        s.language = "en";
        s.requireLabel = true;
        s.recipe = signedRecipe();
        return s;
    }

    LineWindow& open(const LineSettings& settings) {
        window = std::make_unique<LineWindow>(settings, usb, host);
        return *window;
    }

    void scan(const QString& label) {
        auto& box = FindControl<QLineEdit>(window.get(), "txtLabel");
        QTest::keyClicks(&box, label);
        QTest::keyClick(&box, Qt::Key_Return);
    }

    QString shown(const char* name) const { return FindControl<QLabel>(window.get(), name).text(); }

    MinisignTool tool;
    RecipeSource source;
    Recipe recipe;
    PrinterSims sims;
    FakeUsbInventory usb;
    LineHost host;
    int beeps = 0;
    std::unique_ptr<LineWindow> window;
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
    EXPECT_TRUE(shown("lblNextLabel").contains("does not match"))
        << shown("lblNextLabel").toStdString();
    EXPECT_EQ(beeps, 1);

    scan("SN0007");
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return window->tile(1).state() == TileState::Pass; }, 30000))
        << window->tile(1).detailText().toStdString();
    EXPECT_EQ(window->tile(2).state(), TileState::NotInUse);
    EXPECT_EQ(window->counters().total(), 1);
    window->history().finish();
    const auto rows = HistoryStore().recent(0);
    ASSERT_TRUE(rows && rows->size() == 1);
    EXPECT_EQ(rows->front().recipe, "X1 2.4");
    EXPECT_EQ(rows->front().label, "SN0007");
    EXPECT_EQ(rows->front().mode, "production");
}

TEST_F(RecipeLineTest, EngineeringUnitsAreRecordedButNotCounted) {
    recipe.mode = RecipeMode::Engineering;
    recipe.labelPattern.clear();
    LineSettings s = settingsFor({sims.serial().link()});
    s.requireLabel = false;
    open(s).startShift();
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return window->tile(1).state() == TileState::Pass; }, 30000))
        << window->tile(1).detailText().toStdString();
    EXPECT_EQ(window->counters().total(), 0);
    window->history().finish();
    const auto rows = HistoryStore().recent(0);
    ASSERT_TRUE(rows && rows->size() == 1);
    EXPECT_EQ(rows->front().mode, "engineering");
}

} // namespace
} // namespace posflash::testing
