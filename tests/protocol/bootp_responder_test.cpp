#include "protocol/address_text.h"
#include "protocol/bootp_responder.h"

#include <gtest/gtest.h>

#include <numeric>

namespace posflash {
namespace {

BootpConfig config() {
    BootpConfig c;
    c.printerIp = {192, 168, 123, 100};
    c.printerMac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    c.hostIp = {192, 168, 123, 1};
    c.bootFileName = "firmware.bin";
    return c;
}

// A framed request of the printer, every byte outside the checked fields set to a pattern.
Bytes request(std::size_t size = 304) {
    Bytes r(size);
    std::iota(r.begin(), r.end(), std::uint8_t{7});
    const std::uint8_t head[] = {0x1F, 0x1B, 0x1C, 0x06, 1, 1, 6};
    std::copy(std::begin(head), std::end(head), r.begin());
    const std::uint8_t mac[] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    std::copy(std::begin(mac), std::end(mac), r.begin() + bootp::kChaddrAt);
    const char brand[] = "V-ORBIT"; // with its zero byte
    std::copy(std::begin(brand), std::end(brand), r.begin() + bootp::kSnameAt);
    return r;
}

// The fuzz target proves that every answer goes to our printer's request and reads as the
// request with the addresses and name written; these are the edges that must still be answered.
TEST(BootpResponder, AnswersAtTheEdgesOfWhatItAccepts) {
    Bytes otherChaddrTail = request();
    otherChaddrTail[bootp::kChaddrAt + 6] = 0xEE; // bytes 6..15 of chaddr are not compared
    EXPECT_TRUE(AnswerBootpRequest(otherChaddrTail, config(), 0));
    EXPECT_FALSE(AnswerBootpRequest(request(123), config(), 0)); // no room for the file name
    EXPECT_TRUE(AnswerBootpRequest(request(124), config(), 0));
    BootpConfig longName = config();
    longName.bootFileName = QByteArray(128, 'a');
    EXPECT_TRUE(AnswerBootpRequest(request(600), longName, 0));
    longName.bootFileName = QByteArray(129, 'a');
    EXPECT_FALSE(AnswerBootpRequest(request(600), longName, 0));
}

TEST(AddressText, OnlyWellFormedAddressesAreTaken) {
    EXPECT_EQ(ParseIpv4Text("192.168.123.100"), (Ipv4Bytes{192, 168, 123, 100}));
    for (const char* bad : {"192.168.123", "192.168.123.256", "1.2.3.4.5", "a.b.c.d", " 1.2.3.4",
                            "1..2.3", "", "1.2.3.-4", "1.2.3.4\n"})
        EXPECT_FALSE(ParseIpv4Text(bad)) << bad;
    EXPECT_EQ(ParseMacText("00-11-22-aa-BB-ff"), (MacBytes{0x00, 0x11, 0x22, 0xAA, 0xBB, 0xFF}));
    EXPECT_FALSE(ParseMacText("00-11-22-33-44-55\n"));
    EXPECT_EQ(BootFileNameOf("C:\\fw\\abcdefg.bin"), QByteArray("abcdefg.bin"));
}

} // namespace
} // namespace posflash
