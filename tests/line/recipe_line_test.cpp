// The production window under a line recipe: the start panel refusing a wrong image, the label
// box refusing a label off the pattern, slots outside the recipe, engineering units, a recipe
// fetched from the line's records while the window runs.
#include "download/loaded_image.h"
#include "history/unit_yield.h"
#include "line/fitting_label.h"
#include "line/slot_tile.h"
#include "line/start_panel.h"
#include "line_fixture.h"
#include "recipe/minisign_tool.h"
#include "recipe/recipe.h"
#include "support/program_image.h"
#include "unit/cause_texts.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QSemaphore>
#include <QTextLayout>
#include <QTranslator>

#include <atomic>

namespace posflash::testing {
namespace {

// A recipe signed by the line's key, whose public key is the station's one trusted key.
class RecipeLineTest : public LineFixture {
protected:
    RecipeLineTest() {
        tool.makeKey("line");
        source.trustedKeyFolders = {tool.systemKeys({"line"}), {}};
        source.marksFolder = tool.path("marks");
        source.copiesFolder = tool.path("copies");
        source.now = [] { return QDateTime::currentDateTimeUtc(); };
        host.loadRecipe = [this](const LineSettings& s, const Result<SharedImage>& image) {
            return LoadShiftRecipe(s, image, source);
        };
        const Bytes bytes = WriteProgramImage(tool.path("fw.bin"), 8 * 1024);
        WriteProgramImage(tool.path("fw-other.bin"), 8 * 1024 + 4);
        recipe.name = "X1 2.4";
        recipe.imageSha256 = ImageSha256(bytes);
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
    recipe.labelRequired = true;
    LineSettings s = settingsFor({"/dev/ttyS0"});
    s.requireLabel = false;
    {
        StartPanel panel(s, nullptr, host.loadRecipe);
        // The recipe's label rule shows in the panel's box, which it decides.
        const auto& required = FindControl<QCheckBox>(&panel, "chkRequireLabel");
        EXPECT_TRUE(required.isChecked() && !required.isEnabled());
        const QString line = FindControl<QLabel>(&panel, "lblRecipe").text();
        const QByteArray keyId = tool.read("line.pub").split('\n')[0].split(' ').last();
        for (const QString& part : {QString("X1 2.4"), QString("production"),
                                    QString::fromLatin1(keyId), QString("until 2099-01-01")})
            EXPECT_TRUE(line.contains(part)) << line.toStdString();
    }
    // Another image, or an expired recipe, is refused once, in words that wrap: the panel does
    // not widen, and Start and Cancel stay on the screen.
    s.imagePath = tool.path("fw-other.bin");
    for (const QString refusal : {"size differs from the approved image", "has expired"}) {
        SCOPED_TRACE(refusal.toStdString());
        if (refusal == "has expired") {
            recipe.expires = QDateTime::currentDateTimeUtc().addDays(-1);
            s = settingsFor({"/dev/ttyS0"});
        }
        StartPanel panel(s, nullptr, host.loadRecipe);
        const int width = panel.minimumSizeHint().width();
        FindControl<QPushButton>(&panel, "btnStart").click();
        EXPECT_NE(panel.result(), QDialog::Accepted);
        int said = 0;
        for (const QLabel* label : panel.findChildren<QLabel*>())
            said += label->text().contains(refusal) ? 1 : 0;
        EXPECT_EQ(said, 1);
        EXPECT_EQ(panel.minimumSizeHint().width(), width);
    }
}

// A label off the pattern is refused at the box and asked for again; the right one starts the
// unit, whose row names the recipe. A slot the recipe does not name is not in use, not failed.
TEST_F(RecipeLineTest, ALabelOffThePatternIsAskedForAgainAndSlotsOutsideAreNotInUse) {
    const QString good = sims.serial().link();
    const QString outside = sims.serial().link();
    recipe.targets = {good};
    open(settingsFor({good, outside})).startShift();
    EXPECT_EQ(window->tile(2).state(), TileState::NotInUse);
    EXPECT_FALSE(control<QPushButton>("btnNext_2").isEnabled());
    EXPECT_EQ(window->tile(1).state(), TileState::NeedsLabel);

    // Twelve hex digits read as a MAC, but no network slot takes one: a label like any other.
    // Markup is shown as it is; a scan past the limit is refused with its length.
    const struct {
        QString label, said;
    } refused[] = {
        {"BAD-1", "does not match"},
        {"123456789012", "does not match"},
        {"<h1>PASS SN0003</h1>", "<h1>PASS SN0003</h1>"},
        {QString(65, 'S'), "65 characters long"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.label.toStdString());
        scan(r.label);
        EXPECT_EQ(window->tile(1).state(), TileState::NeedsLabel);
        EXPECT_TRUE(figure("lblNextLabel").contains(r.said))
            << figure("lblNextLabel").toStdString();
        EXPECT_EQ(control<QLabel>("lblNextLabel").textFormat(), Qt::PlainText);
    }
    EXPECT_EQ(beeps, 4);

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

// A network slot's units are told apart by their MACs: one the recipe does not name is refused
// as it starts, recorded, and nothing goes out (the refusal comes before the link).
TEST_F(RecipeLineTest, ANetworkUnitWhoseMacTheRecipeDoesNotNameIsRefused) {
    recipe.targets = {"00-11-22-33-44-55"};
    LineSettings s = settingsFor({});
    s.requireLabel = false;
    s.network = {{"127.0.0.1", {}}};
    open(s).startShift();
    auto& mac = control<QLineEdit>("txtMac_1");
    QTest::keyClicks(&mac, "00:11:22:33:44:66");
    QTest::keyClick(&mac, Qt::Key_Return);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(window->tile(1).state(), TileState::Fail);
    const auto history = rows();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].printer.mac + " " + history[0].outcome + " " + history[0].cause,
              "00-11-22-33-44-66 refused recipe-target");
    // No printer received a frame: recorded, but no unit in the header nor in the history.
    EXPECT_EQ(window->counters().total(), 0);
    EXPECT_EQ(YieldOf(history).units, 0);
}

// The line's records answer only when the test says: the panel and the window go on meanwhile,
// no unit starts, and each shift takes the answer to its own question.
TEST_F(RecipeLineTest, ARecipeFromTheRecordsIsAwaitedWithoutStoppingTheWindow) {
    QSemaphore go;
    std::atomic<int> asked = 0;
    host.loadRecipe = [this, &go, &asked](const LineSettings& s, const Result<SharedImage>& image) {
        const int n = ++asked;
        go.acquire();
        if (n == 3 || n == 5) // these shifts' recipes refuse
            return ShiftRecipe{true, {}, QString("refused by answer %1").arg(n), {}};
        LineSettings file = s;
        file.recipeFromRecords.clear();
        return LoadShiftRecipe(file, image, source);
    };
    host.endShift = [](QWidget*, const QString&, const QString&, const auto&) {
        return QString("Zhang");
    };
    recipe.labelRequired = true;
    LineSettings s = settingsFor({sims.serial().link()});
    s.requireLabel = false; // the recipe asks for the label
    s.recipeFromRecords = "X1 2.4";
    {
        StartPanel panel(s, nullptr, host.loadRecipe);
        EXPECT_FALSE(FindControl<QPushButton>(&panel, "btnStart").isEnabled());
        EXPECT_TRUE(FindControl<QLabel>(&panel, "lblRecipe").text().startsWith("Fetching"));
        go.release();
        EXPECT_TRUE(QTest::qWaitFor(
            [&panel] { return FindControl<QPushButton>(&panel, "btnStart").isEnabled(); }, 5000));
        EXPECT_TRUE(FindControl<QLabel>(&panel, "lblRecipe").text().startsWith("Recipe X1 2.4"));
    }

    open(s, false).startShift();
    ASSERT_TRUE(window->loadingShift());
    EXPECT_TRUE(window->tile(1).detailText().contains("Fetching the recipe X1 2.4"))
        << window->tile(1).detailText().toStdString();
    EXPECT_TRUE(figure("lblShiftChoices").contains("Fetching the recipe X1 2.4"));
    auto& box = control<QLineEdit>("txtLabel");
    QTest::keyClicks(&box, "BAD-1");
    QTest::keyClick(&box, Qt::Key_Return);
    EXPECT_TRUE(window->scanWaiting()); // for the recipe, which says which labels are good
    go.release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->loadingShift(); }, 5000));
    EXPECT_TRUE(figure("lblNextLabel").contains("does not match"));
    EXPECT_EQ(window->tile(1).state(), TileState::NeedsLabel); // the unit held meanwhile
    scan("SN0007");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(window->tile(1).state(), TileState::Pass);

    // Two new shifts before the first one's answer: only the second's counts.
    control<QPushButton>("btnNewShift").click();
    control<QPushButton>("btnNewShift").click();
    go.release(2);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->loadingShift(); }, 5000));
    EXPECT_EQ(window->tile(1).state(), TileState::Waiting)
        << window->tile(1).detailText().toStdString();
    auto* next = window->tile(1).findChild<QPushButton*>("btnNext_1");
    ASSERT_TRUE(next && next->isEnabled());
    next->click();
    EXPECT_EQ(window->tile(1).state(), TileState::NeedsLabel);

    // A shift whose recipe refuses: the unit waiting for its label does not start, nor the next.
    control<QPushButton>("btnNewShift").click();
    go.release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->loadingShift(); }, 5000));
    EXPECT_EQ(window->tile(1).detailText(), "refused by answer 5");
    scan("SN0008");
    next->click();
    EXPECT_EQ(window->tile(1).state(), TileState::SetUp);
    EXPECT_FALSE(window->anyRunning());
    EXPECT_EQ(rows().size(), 1u);
    // The next shift's recipe is good again: the slot waits for its next unit.
    control<QPushButton>("btnNewShift").click();
    go.release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->loadingShift(); }, 5000));
    EXPECT_EQ(window->tile(1).state(), TileState::Waiting);
}

// Whether a label's text, as shown, fits the room the layout gave it. A tile's wrapped texts
// break inside a word longer than a line (a device path); other labels at spaces only.
bool clipped(const QLabel& label) {
    const QRect room = label.contentsRect();
    const QFontMetrics metrics(label.font());
    if (!label.wordWrap())
        return metrics.horizontalAdvance(label.text()) > room.width() ||
               metrics.height() > room.height();
    if (qobject_cast<const FittingLabel*>(&label) == nullptr) {
        const QRect needed = metrics.boundingRect(QRect(0, 0, room.width(), 1 << 20),
                                                  Qt::TextWordWrap, label.text());
        return needed.width() > room.width() || needed.height() > room.height();
    }
    QTextLayout layout(label.text(), label.font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(room.width());
        height += line.height();
    }
    layout.endLayout();
    return height > room.height();
}

// At the screens a station has, with four, six and sixteen slots in every state, with and
// without a recipe, in both languages, no text of the window clips, the verdict and what to do
// are never cut short, and the window stays within the screen: once a unit passed (the header's
// "100.0 %") with a 64-character label held, and after New shift. POSFLASH_LINE_SCREENSHOTS
// names a folder for a picture of each.
TEST_F(RecipeLineTest, NoTextClipsAtTheScreenSizesOfAStation) {
    // smallestDetailPx: the cause and what to do stay readable from a pace or two
    // clang-format off
    struct Case { int tiles; QSize screen; int smallestDetailPx; };
    const Case cases[] = {
        {4,  {1280, 720},  18}, {4,  {1920, 1080}, 20},
        {6,  {1280, 720},  18}, {6,  {1920, 1080}, 20},
        {16, {1280, 720},  11}, {16, {1920, 1080}, 14},
    };
    // clang-format on
    recipe.labelPattern = "SN-.*";
    host.endShift = [](QWidget*, const QString&, const QString&, const auto&) {
        return QString("Zhang Wei-Ming of the east hall, second shift of line three");
    };
    QTranslator chinese;
    ASSERT_TRUE(chinese.load(":/i18n/posflash_zh_CN.qm"));
    int shown = 0; // each case's labels are new to the history
    for (const Case& c : cases)
        for (const bool withRecipe : {false, true})
            for (const QString language : {"en", "zh"}) {
                // The case's name, the picture's too: "line-6-slots-1280x720-en-recipe".
                const QString name = QStringLiteral("line-%1-slots-%2x%3-%4%5")
                                         .arg(c.tiles)
                                         .arg(c.screen.width())
                                         .arg(c.screen.height())
                                         .arg(language, withRecipe ? "-recipe" : "");
                SCOPED_TRACE(name.toStdString());
                // The widest letters, as long as a label may be.
                const QString tag = QStringLiteral("SN-%1-").arg(++shown);
                const QString labels[] = {tag + QString(64 - tag.size(), 'W'),
                                          tag + QString(64 - tag.size(), 'M')};
                Faces faces;
                faces.setUseEnglish(language == "en");
                const CauseTexts texts{faces};
                // A resend as the slot says it, in the window's language.
                const QString retryText =
                    faces.text("posflash::LineSlot", "attempt %1 of %2 · ").arg(2).arg(2) +
                    faces.text("posflash::LineSlot", "no answer, resend %1 of %2").arg(1).arg(2);
                if (language == "zh")
                    QCoreApplication::installTranslator(&chinese);
                else
                    QCoreApplication::removeTranslator(&chinese);
                QStringList ports{sims.serial().link()};
                for (int n = 2; n <= c.tiles; ++n)
                    ports << QStringLiteral("/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.%1:1.0")
                                 .arg(n);
                LineSettings s = settingsFor(ports);
                if (!withRecipe)
                    s.recipe.clear();
                s.records = "postgresql://line@records.example/line";
                s.language = language;
                open(s).resize(c.screen);
                window->show();
                ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
                window->startShift();
                scan(labels[0]);
                ASSERT_TRUE(waitIdle());
                ASSERT_EQ(window->tile(1).state(), TileState::Pass);
                ASSERT_EQ(figure("lblYield"), "100.0 %");
                scan(labels[1]); // held for the next unit
                for (int n = 2; n <= c.tiles; ++n) {
                    SlotTile& t = window->tile(n);
                    t.showUnit(labels[n % 2]);
                    // clang-format off
                    switch (n % 6) {
                    case 1: t.showNeedsLabel(); break;
                    case 2: t.showPass(83000, 2); break;
                    case 3: t.showFail(texts.cause(Cause::PrinterSilent, 3, 57, 3), texts.remedy(Cause::PrinterSilent)); break;
                    case 4: t.showUpdating(37, 42, 2, 2), t.showFrameRetry(retryText); break;
                    case 5: t.showWaiting({}); break;
                    default: t.showFail(texts.cause(Cause::PrinterRefused, 3, 12, 3), texts.remedy(Cause::PrinterRefused));
                    }
                    // clang-format on
                }
                QSize minimum; // as the first texts left it: no later text may change it
                for (const char* when : {"a unit passed", "New shift"}) {
                    SCOPED_TRACE(when);
                    if (QString(when) == "New shift") {
                        control<QPushButton>("btnNewShift").click();
                        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->loadingShift(); }));
                    }
                    QCoreApplication::sendPostedEvents(); // the layout's requests
                    if (minimum.isEmpty())
                        minimum = window->minimumSizeHint();
                    EXPECT_EQ(window->minimumSizeHint(), minimum);
                    EXPECT_LE(minimum.width(), c.screen.width());
                    EXPECT_LE(minimum.height(), c.screen.height());
                    EXPECT_EQ(window->size(), c.screen);
                    for (const QLabel* label : window->findChildren<QLabel*>()) {
                        if (!label->isVisibleTo(window.get()) || label->text().isEmpty())
                            continue;
                        EXPECT_FALSE(clipped(*label)) << label->objectName().toStdString() << ": "
                                                      << label->text().toStdString();
                    }
                    for (int n = 1; n <= c.tiles; ++n) {
                        const QString num = QString::number(n);
                        for (const QString name : {"lblTileState_", "lblTileDetail_"}) {
                            const auto& label = control<FittingLabel>(name + num);
                            EXPECT_EQ(label.text(), label.fullText()) << (name + num).toStdString();
                        }
                        EXPECT_GE(control<FittingLabel>("lblTileDetail_" + num).pixelSize(),
                                  c.smallestDetailPx);
                    }
                    if (QString(when) == "New shift")
                        continue;
                    // A failed unit's verdict is as large as a passed one's.
                    EXPECT_NEAR(control<FittingLabel>("lblTileState_3").pixelSize(),
                                control<FittingLabel>("lblTileState_2").pixelSize(), 1);
                    if (const QString dir = qEnvironmentVariable("POSFLASH_LINE_SCREENSHOTS");
                        !dir.isEmpty()) {
                        EXPECT_TRUE(SaveScreenshot(*window, dir + "/" + name + ".png"));
                    }
                }
                window.reset();
            }
    QCoreApplication::removeTranslator(&chinese);
}

} // namespace
} // namespace posflash::testing
