#include "cli/recipe_command.h"
#include "minisign_tool.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

using testing::MinisignTool;

class RecipeCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        tool.makeKey("line");
        tool.write("image.bin", QByteArray(2048, 'i'));
        env.trustedKeyFolders = {tool.systemKeys({"line"}), {}};
        env.source.marksFolder = tool.path("marks");
        env.now = QDateTime::fromString("2027-01-10T08:00:00Z", Qt::ISODate);
    }
    int run(QStringList args) {
        out.clear();
        err.clear();
        for (QString& a : args)
            a.replace("@", tool.dir.path() + "/");
        QTextStream o(&out), e(&err);
        const Result<CliRequest> read =
            ReadCliArguments(QStringList{"posflash-cli", "recipe"} + args, "en");
        if (!read) {
            e << read.error().text;
            return 2;
        }
        return RunRecipeCommand(read->args, o, e, env);
    }
    int make() {
        return run({"make", "--image", "@image.bin", "--name", "X1 2.4", "--port", "COM3",
                    "--expires", "2027-02-01T00:00:00+08:00", "--label-pattern", "SN[0-9]+",
                    "--sequence", "4", "--out", "@r.json"});
    }
    MinisignTool tool;
    RecipeCommandEnv env;
    QString out, err;
};

// Show refuses a recipe until minisign, or sign with the same key, has signed it.
TEST_F(RecipeCommandTest, ShowVerifiesWhatMinisignOrSignSigned) {
    ASSERT_EQ(make(), 0) << err.toStdString();
    EXPECT_EQ(run({"show", "@r.json"}), 2);
    EXPECT_TRUE(out.contains("refused: recipe-signature")) << out.toStdString();

    tool.sign("r.json", "line", false);
    ASSERT_EQ(run({"show", "@r.json"}), 0) << out.toStdString() << err.toStdString();
    EXPECT_TRUE(out.contains("X1 2.4"));
    EXPECT_TRUE(out.contains("COM3"));
    const QByteArray id = tool.read("line.pub").split('\n')[0].split(' ').last();
    EXPECT_TRUE(out.contains("verified: signed by key " + id)) << out.toStdString();
    EXPECT_TRUE(out.contains("vouched for by: " + tool.path("etc/posflash/trusted-keys") +
                             " (the administrator's keys)"))
        << out.toStdString();

    QFile::remove(tool.path("r.json.minisig"));
    ASSERT_EQ(run({"sign", "--key", "@line.key", "@r.json"}), 0) << err.toStdString();
    EXPECT_TRUE(tool.verifies("r.json", "line"));
    EXPECT_EQ(run({"show", "@r.json"}), 0) << out.toStdString();
}

TEST_F(RecipeCommandTest, WhatMakeWritesMatchesTheSchema) {
    ASSERT_EQ(run(QString("make --image @image.bin --name X1 --font --mode engineering --port COM3 "
                          "--port 00:11:22:33:44:55 --retries 2 --label-required --label-pattern "
                          "SN\\d+ --expires 2027-02-01T00:00:00Z --sequence 12 --out @full.json")
                      .split(' ')),
              0)
        << err.toStdString();
    QProcess check;
    check.start("python3", {"-c",
                            "import json, sys, jsonschema; "
                            "jsonschema.validate(json.load(open(sys.argv[2])), "
                            "json.load(open(sys.argv[1])))",
                            POSFLASH_DOCS_DIR "/recipe.schema.json", tool.path("full.json")});
    ASSERT_TRUE(check.waitForFinished(60000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString();
}

TEST_F(RecipeCommandTest, RefusesBadArgumentsWithoutWritingARecipe) {
    const QStringList base{"make",  "--image",   "@image.bin", "--name", "n",
                           "--out", "@bad.json", "--sequence", "1"};
    // says: a part of the refusal
    // clang-format off
    const struct { const char* name; QStringList args; const char* says; } cases[] = {
        {"no verb", {}, "make, show, sign or fetch"},
        {"no sequence and no records", {"make", "--image", "@image.bin", "--name", "n", "--out", "@bad.json"}, "--sequence N"},
        {"a negative sequence", base + QStringList{"--sequence", "-2"}, "--sequence"},
        {"no --out", {"make", "--image", "@image.bin", "--name", "n", "--sequence", "1"}, "--out"},
        {"an expiry passed", base + QStringList{"--expires", "2020-03-01T00:00:00Z"}, "already passed"},
        {"retries beyond the limit", base + QStringList{"--retries", "11"}, "from 0 to 10"},
        {"a bad pattern", base + QStringList{"--label-pattern", "SN("}, "regular expression"},
        {"no image", {"make", "--image", "@none", "--name", "n", "--sequence", "1", "--out", "@bad.json"}, "cannot be read"},
        {"sign without key", {"sign", "@r.json"}, "--key"},
        {"show with an option", {"show", "--key", "k", "@r.json"}, "takes no --key"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run(c.args), 2);
        EXPECT_TRUE(err.contains(QLatin1String(c.says))) << err.toStdString();
        EXPECT_FALSE(QFile::exists(tool.path("bad.json")));
    }
}

} // namespace
} // namespace posflash
