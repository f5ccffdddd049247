#include "protocol/address_text.h"
#include "protocol/bootp_responder.h"

#include <gtest/gtest.h>

#include <numeric>

namespace posflash {
namespace {

BootpConfig config() {
    BootpConfig c;
    c.PrinterIpBytes = {192, 168, 123, 100};
    c.PrinterMacBytes = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    c.HostIpBytes = {192, 168, 123, 1};
    c.BootFileName = "firmware.bin";
    return c;
}

// A framed request of the printer, every byte outside the checked fields set to a pattern
// so that the echo can be checked.
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

TEST(BootpResponder, ReplyEchoesTheRequestWithAddressesAndFileNameWritten) {
    const Bytes req = request();
    const auto reply = AnswerBootpRequest(req, config(), 0);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->size(), req.size());
    EXPECT_EQ((*reply)[4], 2);
    EXPECT_EQ(Bytes(reply->begin() + 20, reply->begin() + 24), (Bytes{192, 168, 123, 100}));
    EXPECT_EQ(Bytes(reply->begin() + 24, reply->begin() + 28), (Bytes{192, 168, 123, 1}));
    EXPECT_EQ(std::string(reply->begin() + 112, reply->begin() + 124), "firmware.bin");
    // Everything else as it came: xid, secs, ciaddr, giaddr, chaddr, sname, the rest of
    // the file field (no terminator is written) and vend.
    for (std::size_t i = 0; i < req.size(); ++i) {
        const bool written = i == 4 || (i >= 20 && i < 28) || (i >= 112 && i < 124);
        if (!written) {
            ASSERT_EQ((*reply)[i], req[i]) << "byte " << i;
        }
    }
}

TEST(BootpResponder, OnlyOurPrinterInStepZeroIsAnswered) {
    Bytes wrongMac = request();
    wrongMac[bootp::kChaddrAt + 5] = 0x56;
    EXPECT_FALSE(AnswerBootpRequest(wrongMac, config(), 0));

    Bytes otherChaddrTail = request();
    otherChaddrTail[bootp::kChaddrAt + 6] = 0xEE; // bytes 6..15 of chaddr are not compared
    EXPECT_TRUE(AnswerBootpRequest(otherChaddrTail, config(), 0));

    Bytes lowerBrand = request();
    lowerBrand[bootp::kSnameAt + 2] = 'o';
    EXPECT_FALSE(AnswerBootpRequest(lowerBrand, config(), 0));

    Bytes notRequest = request();
    notRequest[4] = 2;
    EXPECT_FALSE(AnswerBootpRequest(notRequest, config(), 0));
    Bytes noPrefix = request();
    noPrefix[0] = 0;
    EXPECT_FALSE(AnswerBootpRequest(noPrefix, config(), 0));

    EXPECT_FALSE(AnswerBootpRequest(request(), config(), 1)); // already answered
}

TEST(BootpResponder, ShortRequestsUnendedSnameAndLongFileNamesAreDropped) {
    EXPECT_FALSE(AnswerBootpRequest(request(111), config(), 0));
    EXPECT_FALSE(AnswerBootpRequest(request(123), config(), 0)); // no room for the file name
    EXPECT_TRUE(AnswerBootpRequest(request(124), config(), 0));

    Bytes unended = request();
    std::fill(unended.begin() + bootp::kSnameAt + 7, unended.begin() + bootp::kSnameAt + 64, 'X');
    EXPECT_FALSE(AnswerBootpRequest(unended, config(), 0));

    BootpConfig longName = config();
    longName.BootFileName = QByteArray(129, 'a');
    EXPECT_FALSE(AnswerBootpRequest(request(600), longName, 0));
    longName.BootFileName = QByteArray(128, 'a');
    EXPECT_TRUE(AnswerBootpRequest(request(600), longName, 0));
}

TEST(BootpHelpers, BytesToStringAndCompareBytes) {
    EXPECT_EQ(BytesToString(Bytes{'A', 'B', 0, 'C'}), QByteArray("AB"));
    EXPECT_EQ(BytesToString(Bytes{0, 0}), QByteArray(1, '\0')); // never matches a word
    EXPECT_FALSE(BytesToString(Bytes{'A', 'B'}));
    EXPECT_TRUE(CompareBytes(Bytes{1, 2, 3}, Bytes{1, 2, 4}, 2));
    EXPECT_FALSE(CompareBytes(Bytes{1, 2, 3}, Bytes{1, 2, 4}, 3));
    EXPECT_TRUE(CompareBytes({}, {}, 0));
    EXPECT_FALSE(CompareBytes(Bytes{1}, Bytes{1}, 2)); // never past the end
}

TEST(AddressText, OnlyWellFormedAddressesAreTaken) {
    EXPECT_EQ(ParseIpv4Text("192.168.123.100"), (Ipv4Bytes{192, 168, 123, 100}));
    for (const char* bad : {"192.168.123", "192.168.123.256", "1.2.3.4.5", "a.b.c.d", " 1.2.3.4",
                            "1..2.3", "", "1.2.3.-4", "1.2.3.4\n"})
        EXPECT_FALSE(ParseIpv4Text(bad)) << bad;
    EXPECT_EQ(ParseMacText("00-11-22-aa-BB-ff"), (MacBytes{0x00, 0x11, 0x22, 0xAA, 0xBB, 0xFF}));
    for (const char* bad : {"00:11:22:33:44:55", "00-11-22-33-44", "00-11-22-33-44-55-66",
                            "0-11-22-33-44-55", "GG-11-22-33-44-55", "", "00-11-22-33-44-55\n"})
        EXPECT_FALSE(ParseMacText(bad)) << bad;
}

TEST(AddressText, BootFileNameIsTheBareNameAndDottedTextIsDecimal) {
    EXPECT_EQ(BootFileNameOf("/home/tech/fw/PRN_v1.2.bin"), QByteArray("PRN_v1.2.bin"));
    EXPECT_EQ(BootFileNameOf("C:\\fw\\abcdefg.bin"), QByteArray("abcdefg.bin"));
    const std::uint8_t ip[] = {0xC0, 0xA8, 0x7B, 0x64};
    EXPECT_EQ(BytesToDottedIp(ip, 4), "192.168.123.100");
}

} // namespace
} // namespace posflash
