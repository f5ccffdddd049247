#include "ports/mcommunicate.h"

#include "base/ini_store.h"
#include "base/panel.h"
#include "base/userfunction.h"
#include "ports/serial_control.h"
#include "ports/usb_output.h"

#include <algorithm>

namespace posflash {

PortModel::PortModel(SerialControl& serial, IniStore& settings, Panel& panel)
    : serial_(serial), settings_(settings), panel_(panel) {
    serial_.onReceive = [this](ByteView bytes) { receive(bytes); };
    serial_.onLineError = [this](const Error& error) { ShowCommError(error); };
}

const QStringList& PortModel::BaudList() {
    // The last entry really is 912600; the line speed never follows this list anyway.
    static const QStringList list{"1200",  "2400",   "4800",   "9600",   "19200", "38400",
                                  "57600", "115200", "230400", "460800", "912600"};
    return list;
}

QString PortModel::PortKindCaption(int index) {
    return index == 0 ? QStringLiteral("ETHERNET") : QStringLiteral("USB");
}

QString PortModel::comText() const {
    return QStringLiteral("COM%1").arg(comIndex_ + 1);
}

QString PortModel::baudText() const {
    return baudIndex_ >= 0 && baudIndex_ < BaudList().size() ? BaudList()[baudIndex_].trimmed()
                                                             : QString();
}

bool PortModel::PortSendData(ByteView bytes) {
    if (portKind_ != PortKindValue::Com || bytes.empty())
        return false;
    if (appToBootActive_)
        return usbOutput_ != nullptr && usbOutput_->UsbSendData(bytes);

    if (!serial_.PortOpen()) {
        if (const Status opened = serial_.setPortOpen(true); !opened) {
            // The error text stays in the status panel: blanking it would hide why nothing
            // reached the printer.
            ShowCommError(opened.error());
            return false;
        }
    }
    if (!CommSendData(bytes))
        return false;
    SetStatusText(panel_, QString());
    return true;
}

bool PortModel::CommSendData(ByteView bytes) {
    serial_.discardBuffers();
    for (std::size_t offset = 0; offset < bytes.size(); offset += kPieceSize) {
        const std::size_t n = std::min<std::size_t>(kPieceSize, bytes.size() - offset);
        if (const Status sent = serial_.output(bytes.subspan(offset, n)); !sent) {
            ShowCommError(sent.error());
            return false;
        }
    }
    return true;
}

void PortModel::optPortSelect_Click(int index) {
    if (index != 0 && index != 1)
        return;
    serial_.closePort();
    QString description;
    if (index == 0) {
        portKind_ = PortKindValue::Network;
        description = panel_.ipAddressText();
    } else {
        portKind_ = PortKindValue::Com;
        description = comText() + "," + baudText() + ",n,8,1";
    }
    panel_.setPortKindIndex(index);
    settings_.WriteIniString("PORT", "ComboPort", QString::number(index));
    SetStatusText(panel_, PortKindCaption(index) + ":" + description);
}

void PortModel::selectComIndex(int index) {
    if (index < 0 || index >= kComCount)
        return;
    comIndex_ = index;
    panel_.setComIndex(index);
    ComboSerialSelect_Click();
}

void PortModel::ComboSerialSelect_Click() {
    serial_.closePort();
    if (const Status chosen = serial_.setCommPort(comIndex_ + 1); !chosen) {
        ShowCommError(chosen.error());
        return;
    }
    SetStatusText(panel_, comText() + ":" + baudText() + ",n,8,1");
    settings_.WriteIniString("SERIAL", "COM", QString::number(comIndex_));
}

void PortModel::setBaudIndex(int index) {
    if (index >= -1 && index < BaudList().size())
        baudIndex_ = index;
}

void PortModel::cmdCloseSerialUSB_Click() {
    serial_.closePort();
}

void PortModel::ShowCommError(const Error& error) {
    SetStatusText(panel_, error.text);
}

void PortModel::receive(ByteView bytes) {
    const std::size_t n = std::min(bytes.size(), ReceiveBuffer.size());
    std::copy_n(bytes.begin(), n, ReceiveBuffer.begin());
    if (onReceived)
        onReceived(ByteView(ReceiveBuffer.data(), n));
}

} // namespace posflash
