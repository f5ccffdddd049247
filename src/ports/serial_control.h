#pragma once

#include "base/bytes.h"
#include "base/error.h"
#include "ports/modem_line_watch.h"

#include <QObject>
#include <QSerialPort>

#include <functional>

namespace posflash {

class ComPortMap;

// The serial control: a COM number, a lazily opened line fixed at 115200,n,8,1 without
// handshaking, output in pieces, and one receive event per arrival.
class SerialControl : public QObject {
    Q_OBJECT
public:
    static constexpr int kInputLen = 1024;
    static constexpr const char* kSettings = "115200,n,8,1";

    explicit SerialControl(const ComPortMap& comPorts, QObject* parent = nullptr);
    ~SerialControl() override;

    int comNumber() const { return commPort_; }
    // Fails when the port is open or the number is not in 1..255.
    Status setComNumber(int number);

    bool isOpen() const;
    Status setOpen(bool open);
    // setOpen(false) without a result to look at: closing cannot fail.
    void closePort();

    // Hands one piece to the line.
    Status output(ByteView piece);

    // Drops what is pending in both directions.
    void discardBuffers();

    // The device node behind the current COM number (empty when unmapped).
    QString devicePath() const;

    // Replaces the carrier-detect watch (tests drive the change through a fake).
    void setModemLineWatch(std::unique_ptr<ModemLineWatch> watch);

signals:
    // Every arrival, at most kInputLen bytes.
    void received(posflash::ByteView bytes);
    // The line failed while open (device gone, read error) and the port is closed. The error
    // carries Qt's own message as its detail.
    void lineError(const posflash::Error& error);

private:
    void readArrivals();
    void handleError(QSerialPort::SerialPortError error);

    const ComPortMap& comPorts_;
    QSerialPort port_;
    std::unique_ptr<ModemLineWatch> lineWatch_;
    int commPort_ = 1;
};

} // namespace posflash
