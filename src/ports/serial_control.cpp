#include "ports/serial_control.h"

#include "ports/com_port_map.h"
#include "ports/comm_errors.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <termios.h>
#include <unistd.h>

#include <array>

namespace posflash {

SerialControl::SerialControl(const ComPortMap& comPorts, QObject* parent)
    : QObject(parent), comPorts_(comPorts), lineWatch_(MakeModemLineWatch()) {
    connect(&port_, &QSerialPort::readyRead, this, &SerialControl::readArrivals);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialControl::handleError);
}

SerialControl::~SerialControl() {
    lineWatch_->stop();
}

void SerialControl::setModemLineWatch(std::unique_ptr<ModemLineWatch> watch) {
    closePort();
    lineWatch_ = std::move(watch);
}

void SerialControl::closePort() {
    // The watch uses the descriptor: it ends before the descriptor is closed.
    lineWatch_->stop();
    if (port_.isOpen())
        port_.close();
}

Status SerialControl::setComNumber(int number) {
    if (port_.isOpen())
        return CommError(comm_error::kPortAlreadyOpen);
    if (number < 1 || number > 255)
        return CommError(comm_error::kInvalidPortNumber);
    commPort_ = number;
    return {};
}

bool SerialControl::isOpen() const {
    return port_.isOpen();
}

QString SerialControl::devicePath() const {
    return comPorts_.devicePath(commPort_);
}

Status SerialControl::setOpen(bool open) {
    if (!open) {
        closePort();
        return {};
    }
    if (port_.isOpen())
        return CommError(comm_error::kPortAlreadyOpen);
    const QString node = devicePath();
    if (node.isEmpty() || !QFileInfo::exists(node))
        return CommError(comm_error::kInvalidPortNumber);

    port_.setPortName(node);
    port_.setBaudRate(QSerialPort::Baud115200);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadWrite)) {
        Error failed = CommError(port_.error(), port_.errorString());
        port_.clearError();
        return failed;
    }
    // A carrier-detect change closes the port; the next send opens it again.
    lineWatch_->start(static_cast<int>(port_.handle()), [this] { closePort(); });
    return {};
}

Status SerialControl::output(ByteView piece) {
    if (!port_.isOpen())
        return CommError(comm_error::kOnlyWhenOpen);
    // Straight to the line when nothing waits in Qt's buffer: QSerialPort's own write queues a
    // wake-up of the event loop for every frame, which costs more than the write itself.
    if (port_.bytesToWrite() == 0) {
        const ssize_t n = ::write(static_cast<int>(port_.handle()), piece.data(), piece.size());
        if (n == static_cast<ssize_t>(piece.size()))
            return {};
        if (n > 0)
            piece = piece.subspan(static_cast<std::size_t>(n));
        else if (errno != EAGAIN && errno != EINTR)
            return CommError(QSerialPort::WriteError, QString::fromLocal8Bit(std::strerror(errno)));
    }
    const qint64 written =
        port_.write(reinterpret_cast<const char*>(piece.data()), static_cast<qint64>(piece.size()));
    if (written != static_cast<qint64>(piece.size())) {
        // A short write without an error of Qt's is still a refused write.
        const QSerialPort::SerialPortError error =
            port_.error() == QSerialPort::NoError ? QSerialPort::WriteError : port_.error();
        Error failed = CommError(error, port_.errorString());
        port_.clearError();
        return failed;
    }
    // Push the bytes out now rather than on the next loop turn: the frame is on the line
    // before the reply wait starts.
    port_.flush();
    return {};
}

void SerialControl::discardBuffers() {
    if (!port_.isOpen())
        return;
    // Qt's clear also frees its read buffer, which the next reply then allocates again: with
    // nothing held in Qt's buffers (the usual case, every arrival is read at once) the line's
    // own are all there is to drop. A failure goes through Qt's clear, which reports it.
    if (port_.bytesAvailable() == 0 && port_.bytesToWrite() == 0 &&
        ::tcflush(static_cast<int>(port_.handle()), TCIOFLUSH) == 0)
        return;
    port_.clear(QSerialPort::AllDirections);
}

void SerialControl::readArrivals() {
    // One receive event per arrival, at most kInputLen bytes each; a larger backlog is
    // offered in order as several events.
    // Not zero-filled: only the bytes read are handed on, and this runs for every reply.
    std::array<std::uint8_t, kInputLen> piece;
    while (port_.isOpen() && port_.bytesAvailable() > 0) {
        const qint64 got = port_.read(reinterpret_cast<char*>(piece.data()), kInputLen);
        if (got <= 0)
            break;
        emit received(ByteView(piece.data(), static_cast<std::size_t>(got)));
    }
}

void SerialControl::handleError(QSerialPort::SerialPortError error) {
    // When the device vanishes Qt keeps reporting read errors on an open port; close it so
    // the next send reopens (or reports) instead of spinning.
    if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError) {
        const bool wasOpen = port_.isOpen();
        // Taken before the close, which may replace it.
        Error failed = CommError(error, port_.errorString());
        closePort();
        port_.clearError();
        if (wasOpen)
            emit lineError(failed);
    }
}

} // namespace posflash
