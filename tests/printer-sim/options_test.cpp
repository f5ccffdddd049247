#include "printer-sim/options.h"

#include <gtest/gtest.h>

namespace posflash::sim {
namespace {

QStringList words(const char* line) {
    return QString::fromLatin1(line).split(' ', Qt::SkipEmptyParts);
}

// A fault parsed into the wrong place would let a test pass without the fault it meant.
TEST(CommandLine, EveryFaultLandsWhereItBelongs) {
    const auto parsed =
        ParseCommandLine(words("serial --link /tmp/tty --silent --refuse 3:6:2 --late 4:400 "
                               "--wrong-no 5 --wrong-no 6:3 --drop 7:2 --noise "
                               "--disconnect-after 9 --think 0 --faulty-sessions 2 --baud 115200"));
    ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
    const Faults& f = parsed.options->faults;
    EXPECT_TRUE(f.silent);
    EXPECT_EQ(f.refuse.at(3).status, 6);
    EXPECT_EQ(f.refuse.at(3).copies, 2);
    EXPECT_EQ(f.lateMs.at(4), 400);
    EXPECT_EQ(f.wrongNo.at(5), 1); // one copy unless told
    EXPECT_EQ(f.wrongNo.at(6), 3);
    EXPECT_EQ(f.drop.at(7), 2);
    EXPECT_TRUE(f.noise);
    EXPECT_EQ(f.disconnectAfter, 9);
    EXPECT_EQ(f.thinkMs, 0);
    EXPECT_EQ(f.sessions, 2);
    EXPECT_EQ(parsed.options->baud, 115200);
    for (const auto& [line, ms] : {std::pair{"net --ip 10.0.0.2 --mac 00-11-22-33-44-55 "
                                             "--restart-into-app 250",
                                             250},
                                   {"net --ip 10.0.0.2 --mac 00-11-22-33-44-55 "
                                    "--restart-into-app never --running",
                                    -1}}) {
        const auto net = ParseCommandLine(words(line));
        ASSERT_TRUE(net.options) << net.error.toStdString();
        EXPECT_EQ(net.options->net.restartIntoAppMs, ms) << line;
        EXPECT_EQ(net.options->net.running, ms < 0) << line;
    }
}

TEST(CommandLine, MalformedFaultsAreRefusedWithAReason) {
    for (const char* line : {"",
                             "udp",
                             "serial --bogus",
                             "serial --link",
                             "serial --refuse 3:4:1",
                             "serial --refuse 3:5",
                             "serial --refuse 0:5:1",
                             "serial --refuse 3:5:0",
                             "serial --late 3",
                             "serial --late 3:-5",
                             "serial --wrong-no 2:1:1",
                             "serial --drop 2",
                             "serial --think +5",
                             "serial --disconnect-after 0",
                             "serial --faulty-sessions 0",
                             "serial --baud 0",
                             "serial --baud 9600x",
                             "net --ip 10.0.0.2 --greet --host 10.0.0.1 --baud 9600",
                             "net --ip 10.0.0.2 --greet --host 10.0.0.1 --restart-into-app soon",
                             "app --ip 10.0.0.2 --restart-into-app 100",
                             "net --ip 10.0.0.2 --mac 00-11-22-33-44-55 --running"}) {
        const auto parsed = ParseCommandLine(words(line));
        EXPECT_FALSE(parsed.options) << line;
        EXPECT_FALSE(parsed.error.isEmpty()) << line;
    }
}

// Asked alone or after a mode, help and version need no valid line.
TEST(CommandLine, HelpAndVersionAreAnsweredWhateverFollows) {
    // clang-format off
    const struct { const char* line; bool help; bool version; } rows[] = {
        {"--help", true, false},
        {"-h", true, false},
        {"--version", false, true},
        {"serial --version", false, true},
        {"--version --bogus", false, true},
        {"serial", false, false},
    };
    // clang-format on
    for (const auto& row : rows) {
        const auto parsed = ParseCommandLine(words(row.line));
        EXPECT_EQ(parsed.help, row.help) << row.line;
        EXPECT_EQ(parsed.version, row.version) << row.line;
    }
}

} // namespace
} // namespace posflash::sim
