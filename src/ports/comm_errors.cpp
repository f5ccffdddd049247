#include "ports/comm_errors.h"

#include <utility>

namespace posflash {

QString CommErrorText(int errorNumber) {
    switch (errorNumber) {
    case 380:
        return QStringLiteral("无效属性值");
    case 383:
    case 394:
        return QStringLiteral("属性为只读");
    case 8000:
        return QStringLiteral("端口打开时操作不合法");
    case 8001:
        return QStringLiteral("超时值必须大于0");
    case 8002:
        return QStringLiteral("无效端口号");
    case 8003:
        return QStringLiteral("属性只在运行时有效");
    case 8004:
        return QStringLiteral("属性在运行时为只读");
    case 8005:
        return QStringLiteral("端口已经打开");
    case 8006:
        return QStringLiteral("设备标识符无效或不支持该标识符");
    case 8007:
        return QStringLiteral("不支持设备的波特率");
    case 8008:
        return QStringLiteral("指定的字节大小无效");
    case 8009:
        return QStringLiteral("缺省参数错误");
    case 8010:
        return QStringLiteral("硬件不可用(被其它设备锁定)");
    case 8011:
        return QStringLiteral("函数不能分配队列");
    case 8012:
        return QStringLiteral("设备没有打开");
    case 8013:
        return QStringLiteral("设备已经打开");
    case 8014:
        return QStringLiteral("不能使用 comm 通知");
    case 8015:
        return QStringLiteral("不能设置 comm 状态");
    case 8016:
        return QStringLiteral("不能设置 comm 事件屏蔽");
    case 8018:
        return QStringLiteral("仅当端口打开时操作才有效");
    case 8019:
        return QStringLiteral("设备忙");
    case 8020:
        return QStringLiteral("读 comm 设备错误");
    case 8021:
        return QStringLiteral("为该端口检索设备控制块时的内部错误");
    default:
        return QStringLiteral("未知错误 ");
    }
}

int CommErrorNumber(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::NoError:
        return comm_error::kNone;
    case QSerialPort::DeviceNotFoundError:
        return comm_error::kInvalidPortNumber;
    case QSerialPort::PermissionError:
        return comm_error::kHardwareUnavailable;
    case QSerialPort::OpenError:
        return comm_error::kPortAlreadyOpen;
    case QSerialPort::UnsupportedOperationError:
        return comm_error::kUnsupportedDevice;
    case QSerialPort::ResourceError:
        return comm_error::kDeviceNotOpen;
    case QSerialPort::NotOpenError:
        return comm_error::kOnlyWhenOpen;
    case QSerialPort::WriteError:
    case QSerialPort::TimeoutError:
        return comm_error::kDeviceBusy;
    case QSerialPort::ReadError:
        return comm_error::kReadError;
    default:
        return comm_error::kUnknown;
    }
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
