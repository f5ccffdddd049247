#include "printer-sim/options.h"

#include <gtest/gtest.h>

namespace posflash::sim {
namespace {

QStringList words(const char* line) {
    return QString::fromLatin1(line).split(' ', Qt::SkipEmptyParts);
}

TEST(CommandLine, EveryOptionAndFaultLandsWhereItBelongs) {
    const auto parsed = ParseCommandLine(
        words("serial --link /tmp/tty --out=/tmp/img --report /tmp/r.json --once --silent "
              "--refuse 3:6:2 --late 4:400 --wrong-no 5 --wrong-no 6:3 --drop 7:2 --split 15 "
              "--noise --disconnect-after 9 --think 0"));
    ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
    const Options& o = *parsed.options;
    EXPECT_EQ(o.link, "/tmp/tty");
    EXPECT_EQ(o.out, "/tmp/img");
    EXPECT_EQ(o.report, "/tmp/r.json");
    EXPECT_TRUE(o.once);
    const Faults& f = o.faults;
    EXPECT_TRUE(f.silent);
    EXPECT_EQ(f.refuse.at(3).status, 6);
    EXPECT_EQ(f.refuse.at(3).copies, 2);
    EXPECT_EQ(f.lateMs.at(4), 400);
    EXPECT_EQ(f.wrongNo.at(5), 1); // one copy unless told
    EXPECT_EQ(f.wrongNo.at(6), 3);
    EXPECT_EQ(f.drop.at(7), 2);
    EXPECT_EQ(f.splitMs, 15);
    EXPECT_TRUE(f.noise);
    EXPECT_EQ(f.disconnectAfter, 9);
    EXPECT_EQ(f.thinkMs, 0);
}

class BadCommandLine : public ::testing::TestWithParam<const char*> {};

TEST_P(BadCommandLine, IsRefusedWithAReason) {
    const auto parsed = ParseCommandLine(words(GetParam()));
    EXPECT_FALSE(parsed.options);
    EXPECT_FALSE(parsed.error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Values, BadCommandLine,
    ::testing::Values("", "udp", "--once", "serial extra", "serial --bogus", "serial --link",
                      "serial --once=1", "serial --refuse 3:4:1", "serial --refuse 3:5",
                      "serial --refuse 0:5:1", "serial --refuse 3:5:0", "serial --late 3",
                      "serial --late 3:-5", "serial --late 70000:5", "serial --wrong-no 2:1:1",
                      "serial --drop 2", "serial --split abc", "serial --split 0x10",
                      "serial --think +5", "serial --think 99999999999",
                      "serial --disconnect-after 0"));

} // namespace
} // namespace posflash::sim
