#pragma once

#include "base/bytes.h"
#include "base/error.h"
#include "ports/port_state.h"

#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>

namespace posflash {

class IniStore;
class Panel;
class SerialControl;
class UsbOutput;

// The port choice, the COM and baud lists, and the one send operation for a printer on a
// COM port.
class PortModel {
public:
    static constexpr int kPieceSize = 1024;
    static constexpr int kComCount = 255;

    PortModel(SerialControl& serial, IniStore& settings, Panel& panel);

    static const QStringList& BaudList();
    static QString PortKindCaption(int index); // optPortSelect captions: "ETHERNET", "USB"

    // Sends count bytes to the printer on the COM port (serial line, or the raw USB device
    // while the boot-loader command runs). True when every byte was handed over.
    bool PortSendData(ByteView bytes);
    bool CommSendData(ByteView bytes);

    void optPortSelect_Click(int index);
    // Sets the COM list index and runs the list's selection action.
    void selectComIndex(int index);
    void ComboSerialSelect_Click();
    void setBaudIndex(int index); // no action of its own
    void cmdCloseSerialUSB_Click();
    // The serial error's text in the status panel.
    void ShowCommError(const Error& error);

    PortKindValue portKind() const { return portKind_; }
    // Set while the boot-loader command runs: sends then go to the raw USB device.
    bool appToBootActive() const { return appToBootActive_; }
    void setAppToBootActive(bool active) { appToBootActive_ = active; }
    int comIndex() const { return comIndex_; }
    int baudIndex() const { return baudIndex_; }
    QString comText() const;
    QString baudText() const;

    // Raw output to the printer's USB device, used while AppToBootActive is set.
    void setUsbOutput(UsbOutput* output) { usbOutput_ = output; }
    // The reply checker, called with the bytes of one arrival placed in ReceiveBuffer.
    std::function<void(ByteView)> onReceived;

private:
    void receive(ByteView bytes);

    SerialControl& serial_;
    UsbOutput* usbOutput_ = nullptr;
    IniStore& settings_;
    Panel& panel_;
    PortKindValue portKind_ = PortKindValue::None;
    bool appToBootActive_ = false;
    std::array<std::uint8_t, kReceiveBufferSize> ReceiveBuffer{};
    int comIndex_ = 0;
    int baudIndex_ = -1;
};

} // namespace posflash
