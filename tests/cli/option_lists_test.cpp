// A program's help, manual page and bash completion must name the same options.
#include "base/retry_limit.h"
#include "cli/cli_options.h"
#include "cli/help_texts.h"
#include "support/test_files.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace posflash {
namespace {

QString readFile(const QString& path) {
    return QString::fromUtf8(testing::ReadFile(path));
}

// The options of a help text's option lines ("  --port COMn|DEVICE", "  -h, --help").
QSet<QString> listedOptions(const QString& help) {
    static const QRegularExpression line(QStringLiteral("(?m)^  (?:-[a-z], )?(--[a-z][a-z0-9-]*)"));
    QSet<QString> names;
    for (const auto& m : line.globalMatch(help))
        names << m.captured(1);
    return names;
}

QSet<QString> words(const QString& text) {
    static const QRegularExpression option(QStringLiteral("--[a-z][a-z0-9-]*"));
    QSet<QString> names;
    for (const auto& m : option.globalMatch(text))
        names << m.captured(0);
    return names;
}

QString helpOf(const QString& program) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(program, {"--help"});
    EXPECT_TRUE(p.waitForFinished(10000)) << program.toStdString();
    return QString::fromUtf8(p.readAll());
}

// Each option is written once, in the reader's table, and every text names its rows.
TEST(OptionLists, EachCommandsHelpManualAndCompletionNameTheSameOptions) {
    const QString completion = readFile(POSFLASH_PACKAGING_DIR "/completion/posflash-cli");
    QString manual = readFile(POSFLASH_MAN_DIR "/posflash-cli.1");
    EXPECT_FALSE(manual.contains('@')) << "a template's mark left in the manual";
    manual.remove('\\');
    static const QRegularExpression entry(QStringLiteral("(\\w+)\\) options=\"([^\"]*)\""));
    QMap<QString, QSet<QString>> completed;
    for (const auto& m : entry.globalMatch(completion))
        completed[m.captured(1)] = words(m.captured(2)) << "--help";
    QSet<QString> readable{"--help"};
    for (const CliOption& option : CliOptions())
        readable << QStringLiteral("--") + option.name;
    for (const CliCommand& command : CliCommands()) {
        SCOPED_TRACE(command.name);
        QSet<QString> rows;
        for (const HelpSection& section : command.sections)
            for (const HelpRow& row : section.rows)
                if (*row.option)
                    rows << QStringLiteral("--") + row.option;
        EXPECT_EQ(rows - readable, QSet<QString>{});
        EXPECT_EQ(listedOptions(CommandHelp(command.name).value_or(QString())), rows);
        if (rows.isEmpty())
            continue; // help: its words are the commands
        EXPECT_EQ(completed.value(command.name), rows);
        for (const QString& option : rows)
            EXPECT_TRUE(manual.contains(option)) << option.toStdString() << " in the manual";
    }
    QStringList commands;
    for (const CliCommand& command : CliCommands())
        commands << command.name;
    EXPECT_TRUE(completion.contains(QStringLiteral("commands=\"%1\"").arg(commands.join(' '))));
    EXPECT_TRUE(completion.contains(commands.join(" | ") + ')'));
    // The manual's options and the completion's are the table's, nothing more.
    QSet<QString> table{"--help", "--version"};
    for (const QString& name : HintedOptionNames())
        table << QStringLiteral("--") + name;
    static const QRegularExpression item(QStringLiteral("\n\\.TP\n\\.B[IR]? ([^\n]*)"));
    const QString options = manual.section(".SH OPTIONS", 1).section("\n.SH ", 0, 0);
    QSet<QString> described;
    for (const auto& m : item.globalMatch(options))
        described += words(m.captured(1));
    const auto named = [](const QSet<QString>& names) {
        QStringList sorted = names.values();
        sorted.sort();
        return sorted.join(' ').toStdString();
    };
    EXPECT_EQ(named(described), named(table)) << "the manual's OPTIONS";
    EXPECT_EQ(named(words(completion)), named(table)) << "the completion";
    EXPECT_TRUE(manual.contains(QStringLiteral("0 to %1").arg(kMostRetries)));
}

TEST(OptionLists, TheWindowsAndTheSimulatedPrintersHelpAreCompletedToo) {
    // clang-format off
    const struct { const char* program; const char* completion; } cases[] = {
        {POSFLASH_APP_PATH, "posflash"},
        {POSFLASH_SIM_PATH, "posflash-printer-sim"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.completion);
        const QSet<QString> completed =
            words(readFile(QStringLiteral(POSFLASH_PACKAGING_DIR "/completion/") + c.completion));
        QSet<QString> listed = listedOptions(helpOf(c.program));
        ASSERT_FALSE(listed.isEmpty());
        listed.remove("--help");
        listed.remove("--version");
        EXPECT_EQ(listed - completed, QSet<QString>{});
    }
}

} // namespace
} // namespace posflash
