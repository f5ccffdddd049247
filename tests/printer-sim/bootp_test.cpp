#include "printer-sim/bootp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

namespace posflash::sim {
namespace {

const Mac kMac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const Ipv4 kPrinter{192, 168, 123, 100};
const Ipv4 kHost{192, 168, 123, 1};

Bytes request(std::size_t length = kBootpRequestSize) {
    BootpRequest r;
    r.mac = kMac;
    r.xid = 0x12345678;
    r.secs = 0x0102;
    r.length = length;
    return BuildBootpRequest(r);
}

// The request turned into the reply a correct server sends: op, yiaddr, siaddr and the bare
// file name written, everything else echoed.
Bytes answer(const Bytes& req, const char* file = "fw.bin") {
    Bytes reply = req;
    reply[kOpAt] = kBootReply;
    std::copy(kPrinter.begin(), kPrinter.end(), reply.begin() + kYiaddrAt);
    std::copy(kHost.begin(), kHost.end(), reply.begin() + kSiaddrAt);
    std::copy(file, file + std::strlen(file), reply.begin() + kFileAt);
    return reply;
}

bool mentions(const BootpVerdict& v, const char* text) {
    return !v.errors.filter(QString::fromLatin1(text)).isEmpty();
}

std::string errorsOf(const BootpVerdict& v) {
    return v.errors.join('\n').toStdString();
}

// --- The request ------------------------------------------------------------------------------

TEST(BootpRequest, CarriesPrefixHeaderMacAndBrandWhereTheServerReadsThem) {
    const Bytes r = request();
    ASSERT_EQ(r.size(), 304u);
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 8), Bytes({0x1F, 0x1B, 0x1C, 0x06, 1, 1, 6, 0}));
    EXPECT_EQ(Bytes(r.begin() + 8, r.begin() + 12), Bytes({0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(Bytes(r.begin() + 12, r.begin() + 14), Bytes({0x01, 0x02}));
    EXPECT_EQ(Bytes(r.begin() + 32, r.begin() + 48),
              Bytes({0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(std::string(r.begin() + 48, r.begin() + 56), std::string("V-ORBIT\0", 8));
    // No address is known yet; the server fills them in.
    EXPECT_TRUE(std::all_of(r.begin() + 16, r.begin() + 32, [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(r.begin() + 112, r.begin() + 240, [](auto b) { return b == 0; }));
}

TEST(BootpRequest, VendAreaIsNotBlankSoAServerThatClearsItIsCaught) {
    const Bytes r = request();
    EXPECT_EQ(Bytes(r.begin() + 240, r.begin() + 245), Bytes({0x63, 0x82, 0x53, 0x63, 0xFF}));
}

TEST(BootpRequest, FullLengthBrandFillsSnameWithoutTerminatorAndStaysInside) {
    BootpRequest longBrand;
    longBrand.brand = QByteArray(64, 'B');
    const Bytes r = BuildBootpRequest(longBrand);
    EXPECT_TRUE(std::all_of(r.begin() + 48, r.begin() + 112, [](auto b) { return b == 'B'; }));
    EXPECT_EQ(r[112], 0);
}

TEST(BootpRequest, OtherLengthsCutTheMessageOrPadTheVendArea) {
    const Bytes full = request();
    EXPECT_EQ(request(100), Bytes(full.begin(), full.begin() + 100));
    const Bytes longer = request(400);
    ASSERT_EQ(longer.size(), 400u);
    EXPECT_TRUE(std::equal(full.begin(), full.end(), longer.begin()));
    EXPECT_TRUE(std::all_of(longer.begin() + 304, longer.end(), [](auto b) { return b == 0; }));
}

// --- A correct reply ----------------------------------------------------------------------------

TEST(BootpReply, CorrectReplyIsAcceptedWithoutErrorsAndNamesServerAndFile) {
    const Bytes req = request();
    const BootpVerdict v = CheckBootpReply(req, answer(req), kPrinter);
    EXPECT_TRUE(v.accepted);
    EXPECT_TRUE(v.errors.isEmpty()) << errorsOf(v);
    EXPECT_EQ(v.serverIp, kHost);
    EXPECT_EQ(v.bootFile, QStringLiteral("fw.bin"));
}

TEST(BootpReply, NameFillingTheWholeFileFieldIsAccepted) {
    const Bytes req = request();
    const std::string name(128, 'n');
    const BootpVerdict v = CheckBootpReply(req, answer(req, name.c_str()), kPrinter);
    EXPECT_TRUE(v.errors.isEmpty()) << errorsOf(v);
    EXPECT_EQ(v.bootFile->size(), 128);
}

TEST(BootpReply, ShortRequestIsJudgedOnlyOnTheFieldsItHas) {
    const Bytes req = request(100); // ends inside sname
    Bytes reply = req;
    reply[kOpAt] = kBootReply;
    std::copy(kPrinter.begin(), kPrinter.end(), reply.begin() + kYiaddrAt);
    std::copy(kHost.begin(), kHost.end(), reply.begin() + kSiaddrAt);
    const BootpVerdict v = CheckBootpReply(req, reply, kPrinter);
    EXPECT_TRUE(v.accepted);
    EXPECT_TRUE(v.errors.isEmpty()) << errorsOf(v);
    EXPECT_FALSE(v.bootFile);
}

// --- Wrong replies ----------------------------------------------------------------------------

struct WrongReply {
    const char* name;
    std::function<void(Bytes&)> spoil;
    const char* mentioned;
    bool stillAccepted; // the printer can still link, but the deviation is an error
};

class BootpReplyDefect : public ::testing::TestWithParam<WrongReply> {};

TEST_P(BootpReplyDefect, IsRecordedAsAnError) {
    const Bytes req = request();
    Bytes reply = answer(req);
    GetParam().spoil(reply);
    const BootpVerdict v = CheckBootpReply(req, reply, kPrinter);
    EXPECT_TRUE(mentions(v, GetParam().mentioned)) << errorsOf(v);
    EXPECT_EQ(v.accepted, GetParam().stillAccepted);
}

void setFile(Bytes& reply, const std::string& name) {
    std::fill(reply.begin() + kFileAt, reply.begin() + kVendAt, 0);
    std::copy(name.begin(), name.end(), reply.begin() + kFileAt);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, BootpReplyDefect,
    ::testing::Values(
        WrongReply{"Prefix", [](Bytes& r) { r[3] = 0x07; }, "prefix", false},
        WrongReply{"OpStillRequest", [](Bytes& r) { r[kOpAt] = 1; }, "op 1", false},
        WrongReply{"Xid", [](Bytes& r) { r[kXidAt + 3] ^= 1; }, "xid", false},
        WrongReply{"XidInOtherByteOrder",
                   [](Bytes& r) { std::reverse(r.begin() + kXidAt, r.begin() + kXidAt + 4); },
                   "xid", false},
        WrongReply{"SecsCleared", [](Bytes& r) { r[kSecsAt] = r[kSecsAt + 1] = 0; }, "secs", true},
        WrongReply{"Giaddr", [](Bytes& r) { r[kGiaddrAt + 3] = 1; }, "giaddr", true},
        WrongReply{"OtherMac", [](Bytes& r) { r[kChaddrAt + 5] = 0x56; }, "chaddr", false},
        WrongReply{"ChaddrPadding", [](Bytes& r) { r[kChaddrAt + 15] = 1; }, "chaddr", true},
        WrongReply{"SnameRewritten", [](Bytes& r) { r[kSnameAt] = 'v'; }, "sname", true},
        WrongReply{"VendCleared", [](Bytes& r) { std::fill(r.begin() + kVendAt, r.end(), 0); },
                   "vend", true},
        WrongReply{"YiaddrOfAnotherPrinter", [](Bytes& r) { r[kYiaddrAt + 3] = 101; },
                   "yiaddr 192.168.123.101", true},
        WrongReply{"YiaddrReversed",
                   [](Bytes& r) { std::reverse(r.begin() + kYiaddrAt, r.begin() + kYiaddrAt + 4); },
                   "yiaddr", true},
        WrongReply{"SiaddrZero", [](Bytes& r) { std::fill_n(r.begin() + kSiaddrAt, 4, 0); },
                   "siaddr 0.0.0.0", false},
        WrongReply{"SiaddrBroadcast", [](Bytes& r) { std::fill_n(r.begin() + kSiaddrAt, 4, 0xFF); },
                   "siaddr", false},
        WrongReply{"SiaddrIsThePrinter",
                   [](Bytes& r) { std::copy(kPrinter.begin(), kPrinter.end(), r.begin() + 24); },
                   "siaddr", false},
        WrongReply{"FileWithDirectories", [](Bytes& r) { setFile(r, "/srv/fw/fw.bin"); },
                   "is a path", true},
        WrongReply{"FileWithBackslashes", [](Bytes& r) { setFile(r, "C:\\fw\\fw.bin"); },
                   "is a path", true},
        WrongReply{"FileEmpty", [](Bytes& r) { setFile(r, ""); }, "no boot file name", true},
        WrongReply{"FileWithControlByte", [](Bytes& r) { setFile(r, "fw\n.bin"); }, "control bytes",
                   true},
        WrongReply{"FileFieldPaddedAfterTheName", [](Bytes& r) { r[kFileAt + 20] = ' '; },
                   "after the name", true},
        WrongReply{"FourBytesShorter", [](Bytes& r) { r.resize(r.size() - 4); },
                   "300 bytes long, the request was 304", true},
        WrongReply{"FourBytesLonger", [](Bytes& r) { r.resize(r.size() + 4, 0); }, "308 bytes long",
                   true},
        WrongReply{"CutInsideFile", [](Bytes& r) { r.resize(200); }, "file (bytes 112 to 239)",
                   true},
        WrongReply{"CutBeforeSiaddr", [](Bytes& r) { r.resize(26); }, "siaddr", false},
        WrongReply{"Empty", [](Bytes& r) { r.clear(); }, "prefix", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BootpReply, EveryChangedFieldIsReportedNotJustTheFirst) {
    const Bytes req = request();
    Bytes reply = answer(req);
    reply[kSecsAt] = 9;
    reply[kGiaddrAt] = 9;
    reply.back() = 9;
    const BootpVerdict v = CheckBootpReply(req, reply, kPrinter);
    EXPECT_EQ(v.errors.size(), 3) << errorsOf(v);
}

// Cut and changed at random, a reply must never make the checker read outside it, and the
// printer must never link on a reply that lost its xid or its MAC address.
TEST(BootpReply, MangledRepliesNeverLinkWithoutXidAndMac) {
    std::mt19937 random(20240611);
    const Bytes req = request();
    const Bytes good = answer(req);
    for (int round = 0; round < 3000; ++round) {
        Bytes reply = good;
        reply.resize(random() % 400, static_cast<std::uint8_t>(random()));
        for (int flips = random() % 4; flips > 0 && !reply.empty(); --flips)
            reply[random() % reply.size()] = static_cast<std::uint8_t>(random());
        const BootpVerdict v = CheckBootpReply(req, reply, kPrinter);
        if (!v.accepted)
            continue;
        EXPECT_TRUE(
            std::equal(req.begin() + kXidAt, req.begin() + kXidAt + 4, reply.begin() + kXidAt));
        EXPECT_TRUE(std::equal(req.begin() + kChaddrAt, req.begin() + kChaddrAt + 6,
                               reply.begin() + kChaddrAt));
    }
}

// Every byte but op, yiaddr, siaddr and file comes back as sent: a gap or an off-by-one in the
// field table would let a change through.
TEST(BootpReply, AChangeInAnyEchoedByteIsAnError) {
    const Bytes req = request();
    const Bytes good = answer(req);
    for (std::size_t at = 0; at < good.size(); ++at) {
        const bool written =
            at == kOpAt || (at >= kYiaddrAt && at < kGiaddrAt) || (at >= kFileAt && at < kVendAt);
        if (written)
            continue;
        Bytes reply = good;
        reply[at] ^= 0x40;
        EXPECT_FALSE(CheckBootpReply(req, reply, kPrinter).errors.isEmpty()) << "byte " << at;
    }
}

TEST(HostAddress, OnlyAddressesAHostCanHaveArePlausible) {
    EXPECT_TRUE(IsPlausibleHostAddress({192, 168, 123, 1}, kPrinter));
    EXPECT_TRUE(IsPlausibleHostAddress({127, 0, 0, 1}, kPrinter)); // loopback test set-ups
    EXPECT_FALSE(IsPlausibleHostAddress({0, 0, 0, 0}, kPrinter));
    EXPECT_FALSE(IsPlausibleHostAddress({0, 1, 2, 3}, kPrinter));
    EXPECT_FALSE(IsPlausibleHostAddress({224, 0, 0, 1}, kPrinter));
    EXPECT_FALSE(IsPlausibleHostAddress({255, 255, 255, 255}, kPrinter));
    EXPECT_FALSE(IsPlausibleHostAddress(kPrinter, kPrinter));
}

} // namespace
} // namespace posflash::sim
