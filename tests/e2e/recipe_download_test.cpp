// posflash-cli download --recipe: each refusal before the first frame, the approved image through.
#include "recipe/minisign_tool.h"
#include "recipe/recipe.h"
#include "support/cli_process.h"
#include "support/printer_sims.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace posflash {
namespace {

using namespace testing;

class RecipeDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        tool.makeKey("line");
        tool.makeKey("other");
        // The station trusts the line's key only, as the administrator installed it.
        QDir().mkpath(tool.path("keys"));
        QFile::copy(tool.path("line.pub"), tool.path("keys/line.pub"));
        image = fontBytes(3000);
        tool.write("font.bin", image);
        tool.write("other.bin", fontBytes(3001).left(3000).replace(0, 1, "x"));
        printer = &sims.serial();
        const Finished made =
            run({"recipe", "make", "--image", tool.path("font.bin"), "--font", "--name",
                 "X1 fonts 2.4", "--port", printer->link(), "--label-pattern", "SN[0-9]{4}",
                 "--retries", "1", "--sequence", "1", "--out", tool.path("r.json")});
        ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
        tool.sign("r.json", "line", false);
    }

    Finished run(const QStringList& args) {
        return runCliWithSystemKeys(home.path(), tool.path("keys"), args, 30000);
    }

    // A copy of the approved recipe under another name, edited, signed by key (none: unsigned).
    QString variant(const QString& name, const std::function<void(Recipe&)>& edit,
                    const QString& key = "line") {
        Result<Recipe> recipe = ParseRecipe(tool.read("r.json"));
        EXPECT_TRUE(recipe.ok());
        if (edit)
            edit(*recipe);
        tool.write(name, WriteRecipe(*recipe));
        if (!key.isEmpty())
            tool.sign(name, key, true);
        return tool.path(name);
    }

    QJsonObject lastEvent(const Finished& r) {
        const auto events = jsonLines(r.out);
        return events.empty() ? QJsonObject() : events.back();
    }

    QTemporaryDir home;
    MinisignTool tool;
    PrinterSims sims;
    PrinterSimProcess* printer = nullptr;
    QByteArray image;
};

// Each check refuses with its own cause, exit 2 and a JSON error event; the printer gets nothing.
TEST_F(RecipeDownloadTest, EachRefusalComesBeforeAnyFrameWithItsOwnCause) {
    const QString approved = tool.path("r.json");
    tool.write("changed.json", tool.read("r.json").replace("X1 fonts 2.4", "X1 fonts 2.5"));
    QFile::copy(tool.path("r.json.minisig"), tool.path("changed.json.minisig"));
    const QString expired = variant("expired.json", [](Recipe& r) {
        r.expires = QDateTime::fromString("2021-01-01T00:00:00Z", Qt::ISODate);
    });
    const QString otherPort = variant("port.json", [](Recipe& r) { r.targets = {"/dev/ttyACM7"}; });
    const QString untrusted = variant("untrusted.json", {}, "other");
    const QString unsigned_ = variant("unsigned.json", {}, {});
    const QString font = tool.path("font.bin");
    const QStringList sn1{"--label", "SN0001"};
    // clang-format off
    const struct { const char* name; QString recipe; QString image; QStringList more; const char* cause; const char* says; } cases[] = {
        {"no signature", unsigned_, font, sn1, "recipe-signature", "missing"},
        {"changed after signing", tool.path("changed.json"), font, sn1, "recipe-signature", "does not verify"},
        // The remedy names the folders a key goes into, not a document.
        {"an untrusted key", untrusted, font, sn1, "recipe-untrusted-key", "into /etc/posflash/trusted-keys/"},
        {"expired", expired, font, sn1, "recipe-expired", "expired"},
        // Short hashes and the place they part, never two 64-digit ones to compare by eye.
        {"another image", approved, tool.path("other.bin"), sn1, "recipe-image", "other.bin has SHA-256 "},
        {"another image, in Chinese", approved, tool.path("other.bin"), sn1 + QStringList{"--lang", "zh"}, "recipe-image", "other.bin 的 SHA-256 为 "},
        {"a port outside the recipe", otherPort, font, sn1, "recipe-target", "does not allow this port"},
        {"a label off the pattern", approved, font, {"--label", "XX0001"}, "recipe-label", "pattern"},
        // A mistyped path is said as such, not as a recipe to make again.
        {"no recipe file", tool.path("none.json"), font, {}, "recipe-unreadable", "cannot read the recipe file ("},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Finished r = run(QStringList{"download", "--font", "--json", "--recipe", c.recipe,
                                           "--port", printer->link()} +
                               c.more + QStringList{c.image});
        ASSERT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_EQ(lastEvent(r)["event"].toString(), "error") << r.out.toStdString();
        EXPECT_EQ(lastEvent(r)["cause"].toString(), c.cause) << r.out.toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
        if (QString(c.cause) == "recipe-unreadable") {
            EXPECT_TRUE(r.err.contains(c.recipe + ": no such file)")) << r.err.toStdString();
        }
        // No 64-digit hash, and no English detail in the Chinese face.
        EXPECT_FALSE(r.err.contains(QRegularExpression("[0-9a-f]{64}"))) << r.err.toStdString();
        if (c.more.contains("zh")) {
            EXPECT_FALSE(r.err.contains("approved")) << r.err.toStdString();
        }
    }
    const QJsonObject got = printer->stop();
    EXPECT_EQ(got["start_frames"].toInt(), 0);
    EXPECT_EQ(got["data_frames"].toInt(), 0);
    // Each refusal is a row; one under a recipe that verified names that recipe.
    const QStringList underRecipe{"recipe-image", "recipe-target", "recipe-label"};
    const auto rows = jsonLines(run({"history", "--json"}).out);
    EXPECT_EQ(rows.size(), std::size(cases));
    for (const QJsonObject& row : rows)
        EXPECT_EQ(row["recipe"].toString(),
                  underRecipe.contains(row["cause"].toString()) ? "X1 fonts 2.4" : "")
            << row["cause"].toString().toStdString();
}

// With several printers, one outside the recipe stops the whole run before any is touched.
TEST_F(RecipeDownloadTest, OnePrinterOutsideTheRecipeStopsThemAll) {
    PrinterSimProcess& second = sims.serial();
    const Finished r = run({"download", "--font", "--json", "--recipe", tool.path("r.json"),
                            "--port", printer->link(), "--port", second.link(), "--label", "SN0001",
                            "--label", "SN0002", tool.path("font.bin")});
    EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
    EXPECT_EQ(lastEvent(r)["cause"].toString(), "recipe-target");
    for (PrinterSimProcess* sim : {printer, &second})
        EXPECT_EQ(sim->stop()["start_frames"].toInt(), 0);
}

TEST_F(RecipeDownloadTest, TheApprovedImageGoesThroughAndItsHistoryRowNamesTheRecipe) {
    const Finished r = run({"download", "--font", "--recipe", tool.path("r.json"), "--port",
                            printer->link(), "--label", "SN0042", tool.path("font.bin")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(receivedBy(*printer), image);

    const auto rows = jsonLines(run({"history", "--json", "--mode", "production"}).out);
    ASSERT_EQ(rows.size(), 1u);
    const QJsonObject row = rows[0];
    EXPECT_EQ(row["recipe"].toString(), "X1 fonts 2.4");
    EXPECT_EQ(row["mode"].toString(), "production");
    EXPECT_EQ(row["recipe_sha256"].toString(),
              QCryptographicHash::hash(tool.read("r.json"), QCryptographicHash::Sha256).toHex());
    const QByteArray keyId = tool.read("line.pub").split('\n')[0].split(' ').last();
    EXPECT_EQ(row["recipe_key"].toString().toLatin1(), keyId);
    EXPECT_EQ(row["recipe_sequence"].toInt(-1), 1);
    EXPECT_EQ(row["label"].toString(), "SN0042");
    EXPECT_TRUE(jsonLines(run({"history", "--json", "--mode", "engineering"}).out).empty());
}

} // namespace
} // namespace posflash
