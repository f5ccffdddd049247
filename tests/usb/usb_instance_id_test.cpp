#include "ports/usb_instance_id.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(UsbInstanceIdTest, IdsAreUpperCaseHexLikeTheKnownIds) {
    EXPECT_EQ(UsbInstanceId("1fc9", "2016", "ab12", "1-2"), "USB\\VID_1FC9&PID_2016\\ab12");
    EXPECT_EQ(UsbInstanceId("0483", "5740", "PRN0001", "1-2"), "USB\\VID_0483&PID_5740\\PRN0001");
}

TEST(UsbInstanceIdTest, BusPathStandsInForAMissingOrUnusableSerial) {
    EXPECT_EQ(UsbInstanceId("0483", "5740", "", "1-2.4"), "USB\\VID_0483&PID_5740\\1-2.4");
    for (const QString& serial :
         {QString("A B"), QString("A\\B"), QString("A\nB"), QString::fromUtf8("\xc3\xa9"),
          QString("X") + QChar(0), QString(kUsbSerialMaxChars + 1, QLatin1Char('S'))})
        EXPECT_EQ(UsbInstanceId("0483", "5740", serial, "3-1"), "USB\\VID_0483&PID_5740\\3-1")
            << serial.toStdString();
    EXPECT_EQ(UsbInstanceId("0483", "5740", QString(kUsbSerialMaxChars, QLatin1Char('S')), "3-1"),
              "USB\\VID_0483&PID_5740\\" + QString(kUsbSerialMaxChars, QLatin1Char('S')));
}

TEST(UsbInstanceIdTest, OddIdsNameNoDevice) {
    for (const char* id : {"", "483", "04830", "04 3", "0x48", "zzzz", "048\n"}) {
        EXPECT_EQ(UsbInstanceId(id, "5740", "S", "1-1"), std::nullopt) << id;
        EXPECT_EQ(UsbInstanceId("0483", id, "S", "1-1"), std::nullopt) << id;
    }
    EXPECT_EQ(UsbInstanceId("0483", "5740", "", ""), std::nullopt);
}

} // namespace
} // namespace posflash
