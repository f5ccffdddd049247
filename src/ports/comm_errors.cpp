#include "ports/comm_errors.h"

#include "base/named_values.h"

#include <utility>

namespace posflash {

namespace {

// The serial control's numbers and their status texts.
// clang-format off
constexpr NamedValue<int> kTexts[] = {
    {380, "无效属性值"},
    {383, "属性为只读"},
    {394, "属性为只读"},
    {8000, "端口打开时操作不合法"},
    {8001, "超时值必须大于0"},
    {8002, "无效端口号"},
    {8003, "属性只在运行时有效"},
    {8004, "属性在运行时为只读"},
    {8005, "端口已经打开"},
    {8006, "设备标识符无效或不支持该标识符"},
    {8007, "不支持设备的波特率"},
    {8008, "指定的字节大小无效"},
    {8009, "缺省参数错误"},
    {8010, "硬件不可用(被其它设备锁定)"},
    {8011, "函数不能分配队列"},
    {8012, "设备没有打开"},
    {8013, "设备已经打开"},
    {8014, "不能使用 comm 通知"},
    {8015, "不能设置 comm 状态"},
    {8016, "不能设置 comm 事件屏蔽"},
    {8018, "仅当端口打开时操作才有效"},
    {8019, "设备忙"},
    {8020, "读 comm 设备错误"},
    {8021, "为该端口检索设备控制块时的内部错误"},
};
// clang-format on

constexpr std::pair<QSerialPort::SerialPortError, int> kNumbers[] = {
    {QSerialPort::NoError, comm_error::kNone},
    {QSerialPort::DeviceNotFoundError, comm_error::kInvalidPortNumber},
    {QSerialPort::PermissionError, comm_error::kHardwareUnavailable},
    {QSerialPort::OpenError, comm_error::kPortAlreadyOpen},
    {QSerialPort::UnsupportedOperationError, comm_error::kUnsupportedDevice},
    {QSerialPort::ResourceError, comm_error::kDeviceNotOpen},
    {QSerialPort::NotOpenError, comm_error::kOnlyWhenOpen},
    {QSerialPort::WriteError, comm_error::kDeviceBusy},
    {QSerialPort::TimeoutError, comm_error::kDeviceBusy},
    {QSerialPort::ReadError, comm_error::kReadError},
};

} // namespace

QString CommErrorText(int errorNumber) {
    return QString::fromUtf8(NameIn(kTexts, errorNumber, "未知错误 "));
}

int CommErrorNumber(QSerialPort::SerialPortError error) {
    return SecondOf(kNumbers, error, comm_error::kUnknown);
}

Error CommError(int errorNumber, QString detail) {
    return {errorNumber, CommErrorText(errorNumber), std::move(detail), ErrorDomain::Serial};
}

Error CommError(QSerialPort::SerialPortError error, QString systemMessage) {
    const int number = CommErrorNumber(error);
    return CommError(number == comm_error::kNone ? comm_error::kUnknown : number,
                     std::move(systemMessage));
}

} // namespace posflash
