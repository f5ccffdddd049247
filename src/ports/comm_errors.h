#pragma once

#include "base/error.h"

#include <QSerialPort>
#include <QString>

namespace posflash {

// Serial error numbers of the serial control and their status texts (Chinese only).
namespace comm_error {
inline constexpr int kNone = 0;
inline constexpr int kInvalidPortNumber = 8002;   // no such COM number / device node
inline constexpr int kPortAlreadyOpen = 8005;     // opened elsewhere in this process
inline constexpr int kUnsupportedDevice = 8006;   // node is not a serial device
inline constexpr int kHardwareUnavailable = 8010; // permission denied, or locked by another
inline constexpr int kDeviceNotOpen = 8012;       // the device went away
inline constexpr int kOnlyWhenOpen = 8018;        // write to a closed port
inline constexpr int kDeviceBusy = 8019;          // a write the device refused
inline constexpr int kReadError = 8020;           // read failed
inline constexpr int kUnknown = 9999;
} // namespace comm_error

// The text for an error number; unknown numbers (8017 among them) get "未知错误 ".
QString CommErrorText(int errorNumber);

// How QSerialPort's errors become error numbers. The numbers are the serial control's; which
// Qt error stands for which number is ours:
//   DeviceNotFoundError       → 8002  no such port
//   PermissionError           → 8010  permission denied or in use by another program
//   OpenError                 → 8005  port already open
//   UnsupportedOperationError → 8006  not a device we can configure as a serial line
//   ResourceError             → 8012  device vanished
//   NotOpenError              → 8018  operation needs an open port
//   WriteError, TimeoutError  → 8019  device busy / refused the write
//   ReadError                 → 8020  read error
//   anything else             → 9999  unknown error
int CommErrorNumber(QSerialPort::SerialPortError error);

// The error of a number, with its status text and, where there is one, the system's or Qt's
// own message ("Permission denied") as its detail.
Error CommError(int errorNumber, QString detail = {});

// The error QSerialPort reported, mapped as above; NoError counts as unknown, since a caller
// asks only after something failed. systemMessage is the port's errorString().
Error CommError(QSerialPort::SerialPortError error, QString systemMessage);

} // namespace posflash
