#include "printer-sim/bootp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace posflash::sim {
namespace {

const Mac kMac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const Ipv4 kPrinter{192, 168, 123, 100};
const Ipv4 kHost{192, 168, 123, 1};

Bytes request() {
    BootpRequest r;
    r.mac = kMac;
    r.xid = 0x12345678;
    r.secs = 0x0102;
    return BuildBootpRequest(r);
}

// A correct server's reply: op, yiaddr, siaddr and the bare file name written, the rest echoed.
Bytes answer(const Bytes& req) {
    const char* file = "fw.bin";
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

struct WrongReply {
    const char* name;
    std::function<void(Bytes&)> spoil;
    const char* mentioned;
    bool stillAccepted; // the printer can still link, but the deviation is an error
};

void setFile(Bytes& reply, const std::string& name) {
    std::fill(reply.begin() + kFileAt, reply.begin() + kVendAt, 0);
    std::copy(name.begin(), name.end(), reply.begin() + kFileAt);
}

TEST(BootpReplyDefects, AreRecordedAsErrors) {
    // clang-format off
    const WrongReply defects[] = {
        {"prefix", [](Bytes& r) { r[3] = 0x07; }, "prefix", false},
        {"op still request", [](Bytes& r) { r[kOpAt] = 1; }, "op 1", false},
        {"xid", [](Bytes& r) { r[kXidAt + 3] ^= 1; }, "xid", false},
        {"giaddr", [](Bytes& r) { r[kGiaddrAt + 3] = 1; }, "giaddr", true},
        {"other MAC", [](Bytes& r) { r[kChaddrAt + 5] = 0x56; }, "chaddr", false},
        {"vend cleared", [](Bytes& r) { std::fill(r.begin() + kVendAt, r.end(), 0); }, "vend", true},
        {"yiaddr of another printer", [](Bytes& r) { r[kYiaddrAt + 3] = 101; }, "yiaddr 192.168.123.101", true},
        {"siaddr zero", [](Bytes& r) { std::fill_n(r.begin() + kSiaddrAt, 4, 0); }, "siaddr 0.0.0.0", false},
        {"file with directories", [](Bytes& r) { setFile(r, "/srv/fw/fw.bin"); }, "is a path", true},
        {"file with backslashes", [](Bytes& r) { setFile(r, "C:\\fw\\fw.bin"); }, "is a path", true},
        {"file empty", [](Bytes& r) { setFile(r, ""); }, "no boot file name", true},
        {"file with a control byte", [](Bytes& r) { setFile(r, "fw\n.bin"); }, "control bytes", true},
        {"file field padded after the name", [](Bytes& r) { r[kFileAt + 20] = ' '; }, "after the name", true},
        {"four bytes shorter", [](Bytes& r) { r.resize(r.size() - 4); }, "300 bytes long, the request was 304", true},
        {"four bytes longer", [](Bytes& r) { r.resize(r.size() + 4, 0); }, "308 bytes long", true},
        {"cut inside file", [](Bytes& r) { r.resize(200); }, "file (bytes 112 to 239)", true},
        {"cut before siaddr", [](Bytes& r) { r.resize(26); }, "siaddr", false},
    };
    // clang-format on
    const Bytes req = request();
    for (const WrongReply& d : defects) {
        SCOPED_TRACE(d.name);
        Bytes reply = answer(req);
        d.spoil(reply);
        const BootpVerdict v = CheckBootpReply(req, reply, kPrinter);
        EXPECT_TRUE(mentions(v, d.mentioned)) << errorsOf(v);
        EXPECT_EQ(v.accepted, d.stillAccepted);
    }
}

// Every byte but op, yiaddr, siaddr and file must come back as sent.
TEST(BootpReply, AChangeInAnyEchoedByteIsAnError) {
    const Bytes req = request();
    const Bytes good = answer(req);
    ASSERT_TRUE(CheckBootpReply(req, good, kPrinter).errors.isEmpty());
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
