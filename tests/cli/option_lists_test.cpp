// Each option is named in a program's help, its manual page and its bash completion: the three
// must name the same ones, or a user tabs for an option that help lists and gets nothing.
#include "cli/help_texts.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace posflash {
namespace {

QString readFile(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(f.readAll());
}

// The options of a help text's option lines ("  --port COMn|DEVICE", "  -h, --help").
QSet<QString> listedOptions(const QString& help) {
    static const QRegularExpression line(QStringLiteral("(?m)^  (?:-[a-z], )?(--[a-z][a-z-]*)"));
    QSet<QString> names;
    for (const auto& m : line.globalMatch(help))
        names << m.captured(1);
    return names;
}

QSet<QString> words(const QString& text) {
    static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*"));
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

TEST(OptionLists, EachCommandsHelpManualAndCompletionNameTheSameOptions) {
    const QString completion = readFile(POSFLASH_PACKAGING_DIR "/completion/posflash-cli");
    const QString manual = readFile(POSFLASH_PACKAGING_DIR "/man/posflash-cli.1").remove('\\');
    static const QRegularExpression entry(QStringLiteral("(\\w+)\\) options=\"([^\"]*)\""));
    QMap<QString, QSet<QString>> completed;
    for (const auto& m : entry.globalMatch(completion))
        completed[m.captured(1)] = words(m.captured(2)) << "--help";
    for (const char* command :
         {"download", "inboot", "list", "check", "history", "report", "records"}) {
        SCOPED_TRACE(command);
        const std::optional<QString> help = CommandHelp(command);
        ASSERT_TRUE(help);
        const QSet<QString> listed = listedOptions(*help);
        EXPECT_EQ(completed.value(command), listed);
        for (const QString& option : listed)
            EXPECT_TRUE(manual.contains(option)) << option.toStdString() << " in the manual";
        EXPECT_TRUE(completion.contains(QStringLiteral("%1 |").arg(command)) ||
                    completion.contains(QStringLiteral("| %1)").arg(command)))
            << "the command itself";
    }
}

TEST(OptionLists, TheWindowsAndTheSimulatedPrintersHelpAreCompletedToo) {
    const struct {
        const char* program;
        const char* completion;
    } cases[] = {
        {POSFLASH_APP_PATH, "posflash"},
        {POSFLASH_SIM_PATH, "posflash-printer-sim"},
    };
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
