#include "printer-sim/app_server.h"

#include "printer-sim/wire.h"

#include <QJsonArray>

#include <sys/socket.h>

namespace posflash::sim {

namespace {

ByteView viewOf(const QByteArray& bytes) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                    static_cast<std::size_t>(bytes.size()));
}

QByteArray toQByteArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

} // namespace

void TcpLine::attach(QTcpSocket* socket) {
    socket_ = socket;
    waiting_.clear();
    connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
        if (socket == socket_)
            drained();
    });
}

void TcpLine::detach(const QTcpSocket* socket) {
    if (socket == socket_) {
        socket_.clear();
        waiting_.clear();
    }
}

void TcpLine::send(const QByteArray& bytes, Written onWritten) {
    if (!socket_ || socket_->state() != QAbstractSocket::ConnectedState)
        return;
    socket_->write(padding_.isEmpty() ? bytes : padding_ + bytes);
    // Hand the bytes to the kernel now, so the reply's time is when it really left.
    socket_->flush();
    if (onWritten)
        waiting_.push_back(std::move(onWritten));
    drained();
}

void TcpLine::drained() {
    if (!socket_ || socket_->bytesToWrite() > 0 || waiting_.empty())
        return;
    const std::int64_t atUs = MonotonicMicros();
    // A callback may end the run and close the line.
    const std::vector<Written> done = std::move(waiting_);
    waiting_.clear();
    for (const Written& written : done)
        written(atUs);
}

void TcpLine::close() {
    if (socket_) {
        socket_->flush();
        socket_->close();
    }
    detach(socket_);
}

AppServer::AppServer(const NetOptions& options, bool silent, QObject* parent)
    : QObject(parent), options_(options), silent_(silent) {
    connect(&server_, &QTcpServer::newConnection, this, &AppServer::accept);
    fontLine_.setPadding(options_.replyPadding);
}

posflash::Status AppServer::listen() {
    if (server_.listen(QHostAddress::AnyIPv4, kPort))
        return {};
    return posflash::Error{static_cast<int>(server_.serverError()),
                           QStringLiteral("cannot listen on TCP port %1 on 0.0.0.0: %2")
                               .arg(kPort)
                               .arg(server_.errorString())};
}

void AppServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        const std::size_t index = connections_.size();
        connections_.push_back({AppSession(options_.echo, silent_), {}, 0, std::nullopt});
        const QHostAddress local = socket->localAddress();
        if (local.toIPv4Address() != Ipv4Number(*options_.ip))
            errors_ << QStringLiteral("connection #%1 came to %2, the printer's address is %3")
                           .arg(index + 1)
                           .arg(local.toString(), FormatIpv4(*options_.ip));
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket, index] { readable(socket, index); });
        connect(socket, &QTcpSocket::disconnected, this,
                [this, socket, index] { closed(socket, index); });
    }
}

void AppServer::readable(QTcpSocket* socket, std::size_t index) {
    const QByteArray bytes = socket->readAll();
    if (bytes.isEmpty())
        return;
    const std::int64_t atUs = MonotonicMicros();
    Connection& connection = connections_[index];
    connection.received.append(bytes.left(kReceivedCap - connection.received.size()));
    connection.receivedTotal += bytes.size();

    const AppStep step = connection.session.feed(viewOf(bytes));
    bootCommands_ += step.bootCommands;
    if (step.bootCommands > 0)
        connection.lastCommandUs = atUs;
    if (step.enteredFontMode && options_.fontModeHangup != NetOptions::Hangup::None) {
        ++fontModeCommands_;
        hangUp(socket); // the socket is gone after this
        return;
    }
    if (!step.answer.empty()) {
        socket->write(toQByteArray(step.answer));
        socket->flush();
    }
    if (step.enteredFontMode) {
        ++fontModeCommands_;
        fontLine_.attach(socket);
    }
    if (!step.fontDownload.empty())
        fontLine_.deliver(toQByteArray(step.fontDownload), atUs);
}

void AppServer::closed(QTcpSocket* socket, std::size_t index) {
    if (socket->bytesAvailable() > 0) // came with the peer's close
        readable(socket, index);
    const Connection& connection = connections_[index];
    if (connection.lastCommandUs)
        closeAfterCommandMs_ = (MonotonicMicros() - *connection.lastCommandUs) / 1000;
    fontLine_.detach(socket);
    socket->deleteLater();
    emit connectionClosed();
    if (connection.lastCommandUs)
        emit bootCommandEnded();
}

void AppServer::hangUp(QTcpSocket* socket) {
    if (options_.fontModeHangup == NetOptions::Hangup::Reset) {
        // A zero linger time makes the close a reset, whatever is left in the buffers.
        const linger now{1, 0};
        ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now,
                     sizeof now);
        socket->abort();
    } else {
        socket->disconnectFromHost();
    }
}

ReportAddition AppServer::report() const {
    QJsonArray received;
    for (const Connection& connection : connections_) {
        QString hex = QString::fromLatin1(connection.received.toHex());
        if (connection.receivedTotal > connection.received.size())
            hex += QStringLiteral("...(%1 bytes in all)").arg(connection.receivedTotal);
        received.append(hex);
    }
    ReportAddition addition;
    addition.fields = {
        {"app_connections", static_cast<qint64>(connections_.size())},
        {"app_received_hex", received},
        {"app_boot_commands", bootCommands_},
        {"app_font_mode_commands", fontModeCommands_},
        {"app_close_after_command_ms", closeAfterCommandMs_
                                           ? QJsonValue(static_cast<qint64>(*closeAfterCommandMs_))
                                           : QJsonValue()},
    };
    addition.errors = errors_;
    return addition;
}

} // namespace posflash::sim
