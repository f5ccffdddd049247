#include "printer-sim/options.h"

#include <gtest/gtest.h>

namespace posflash::sim {
namespace {

QStringList words(const char* line) {
    return QString::fromLatin1(line).split(' ', Qt::SkipEmptyParts);
}

TEST(NetCommandLine, BootpModeTakesAddressesBrandLengthAndTheSerialFaults) {
    const auto parsed = ParseCommandLine(
        words("net --ip 10.0.0.2 --mac 00-1a-2B-3c-4D-5e --brand v-orbit --bootp-length 300 "
              "--requests-after-reply 2 --out /tmp/img --once --refuse 2:5:1 --think 3"));
    ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
    const Options& o = *parsed.options;
    EXPECT_EQ(o.mode, Mode::Net);
    EXPECT_EQ(o.net.ip, (Ipv4{10, 0, 0, 2}));
    EXPECT_EQ(o.net.mac, (Mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}));
    EXPECT_EQ(o.net.brand, "v-orbit");
    EXPECT_EQ(o.net.bootpLength, 300u);
    EXPECT_EQ(o.net.requestsAfterReply, 2);
    EXPECT_FALSE(o.net.greet);
    EXPECT_EQ(o.out, "/tmp/img");
    EXPECT_TRUE(o.once);
    EXPECT_EQ(o.faults.refuse.at(2).status, 5);
    EXPECT_EQ(o.faults.thinkMs, 3);
}

TEST(NetCommandLine, DefaultsAreTheBrandWordAndA304ByteRequest) {
    const auto parsed = ParseCommandLine(words("net --ip 10.0.0.2 --mac 00-11-22-33-44-55"));
    ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options->net.brand, "V-ORBIT");
    EXPECT_EQ(parsed.options->net.bootpLength, 304u);
}

TEST(NetCommandLine, GreetingNeedsNoMacButAHost) {
    const auto parsed = ParseCommandLine(words("net --ip 10.0.0.2 --greet --host 10.0.0.1"));
    ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
    EXPECT_TRUE(parsed.options->net.greet);
    EXPECT_EQ(parsed.options->net.host, (Ipv4{10, 0, 0, 1}));
}

TEST(AppCommandLine, TakesAddressEchoAndFaults) {
    const auto parsed = ParseCommandLine(words("app --ip 10.0.0.2 --echo 9 --silent"));
    ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
    EXPECT_EQ(parsed.options->mode, Mode::App);
    EXPECT_EQ(parsed.options->net.echo, 9);
    EXPECT_TRUE(parsed.options->faults.silent);
    EXPECT_EQ(ParseCommandLine(words("app --ip 10.0.0.2")).options->net.echo, 0);
}

class BadNetCommandLine : public ::testing::TestWithParam<const char*> {};

TEST_P(BadNetCommandLine, IsRefusedWithAReason) {
    const auto parsed = ParseCommandLine(words(GetParam()));
    EXPECT_FALSE(parsed.options);
    EXPECT_FALSE(parsed.error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Values, BadNetCommandLine,
    ::testing::Values(
        "net --mac 00-11-22-33-44-55", "net --ip 10.0.0.2", "net --ip 10.0.0.2 --greet",
        "net --ip 10.0.0.2 --mac 00-11-22-33-44-55 --host 10.0.0.1", "app", "app --echo 10",
        "net --ip 10.0.0.256 --mac 00-11-22-33-44-55", "net --ip 10.0.0 --mac 00-11-22-33-44-55",
        "net --ip 10.0.0.2.1 --mac 00-11-22-33-44-55", "net --ip 10.0..2 --mac 00-11-22-33-44-55",
        "net --ip +10.0.0.2 --mac 00-11-22-33-44-55", "net --ip 1000.0.0.2 --mac 00-11-22-33-44-55",
        "net --ip 10.0.0.2 --mac 00:11:22:33:44:55", "net --ip 10.0.0.2 --mac 00-11-22-33-44",
        "net --ip 10.0.0.2 --mac 00-11-22-33-44-5G", "net --ip 10.0.0.2 --mac 0-11-22-33-44-555",
        "net --ip 10.0.0.2 --mac 00-11-22-33-44-55 --bootp-length 0",
        "net --ip 10.0.0.2 --mac 00-11-22-33-44-55 --bootp-length 1473",
        "net --ip 10.0.0.2 --mac 00-11-22-33-44-55 --requests-after-reply 101",
        "net --ip 10.0.0.2 --mac 00-11-22-33-44-55 "
        "--brand 12345678901234567890123456789012345678901234567890123456789012345",
        "net --ip 10.0.0.2 --mac 00-11-22-33-44-55 --link /tmp/x",
        "net --ip 10.0.0.2 --mac 00-11-22-33-44-55 --echo 9", "app --ip 10.0.0.2 --echo 8",
        "app --ip 10.0.0.2 --echo 11", "app --ip 10.0.0.2 --mac 00-11-22-33-44-55",
        "app --ip 10.0.0.2 --greet", "serial --ip 10.0.0.2", "serial --greet"));

TEST(BadNetCommandLine, BrandMustBePrintableAscii) {
    EXPECT_FALSE(ParseCommandLine({"net", "--ip", "10.0.0.2", "--mac", "00-11-22-33-44-55",
                                   "--brand", QStringLiteral("V-\u00D6RBIT")})
                     .options);
}

} // namespace
} // namespace posflash::sim
