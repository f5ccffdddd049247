#include "ports/com_port_map.h"
#include "ports/comm_errors.h"
#include "ports/serial_control.h"
#include "support/test_files.h"

#include <QTemporaryDir>

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

namespace posflash {
namespace {

// The rows of the tables are the tables; what is checked is what lies outside them.
TEST(CommErrors, UnknownNumbersGiveTheFallbackAndEveryQtErrorHasAText) {
    EXPECT_EQ(CommErrorText(8002), QStringLiteral("无效端口号"));
    EXPECT_EQ(CommErrorText(8017), QStringLiteral("未知错误 ")); // a gap in the numbers
    EXPECT_EQ(CommErrorText(9999), QStringLiteral("未知错误 "));
    EXPECT_EQ(CommErrorNumber(QSerialPort::NoError), 0);
    for (int e = QSerialPort::NoError + 1; e <= QSerialPort::UnknownError; ++e)
        EXPECT_FALSE(CommErrorText(CommErrorNumber(static_cast<QSerialPort::SerialPortError>(e)))
                         .trimmed()
                         .isEmpty());
}

TEST(CommErrors, AFailedOpenKeepsTheSystemsOwnMessageBesideTheText) {
    QTemporaryDir dir;
    const QString plain = testing::WriteFile(dir.filePath("plain"), {});
    // errnoValue 0: not a system error, so no detail
    // clang-format off
    struct Case { QString node; int code; int errnoValue; };
    // clang-format on
    const Case cases[] = {
        {plain, comm_error::kUnsupportedDevice, ENOTTY},
        {dir.path(), comm_error::kUnknown, EISDIR},
        {dir.filePath("gone"), comm_error::kInvalidPortNumber, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.node.toStdString());
        ComPortMap map;
        ASSERT_TRUE(map.setMapping(3, c.node));
        SerialControl serial(map);
        ASSERT_TRUE(serial.setComNumber(3));
        const Status opened = serial.setOpen(true);
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().code, c.code);
        EXPECT_EQ(opened.error().text, CommErrorText(c.code));
        EXPECT_EQ(opened.error().detail,
                  c.errnoValue ? QString::fromLocal8Bit(std::strerror(c.errnoValue)) : QString());
    }
}

} // namespace
} // namespace posflash
