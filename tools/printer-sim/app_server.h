#pragma once

#include "base/error.h"
#include "printer-sim/app_firmware.h"
#include "printer-sim/options.h"
#include "printer-sim/report.h"
#include "printer-sim/transport.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <optional>
#include <vector>

namespace posflash::sim {

// The connection that switched to font mode, as the boot loader's line: frames arrive on it as
// a byte stream, replies go back on it.
class TcpLine final : public Transport {
    Q_OBJECT
public:
    using Transport::Transport;

    void attach(QTcpSocket* socket);
    void detach(const QTcpSocket* socket);
    void deliver(const QByteArray& bytes, qint64 atUs) { emit received(bytes, atUs); }
    // Zero bytes that precede every reply in the same write.
    void setPadding(std::size_t bytes) { padding_ = QByteArray(static_cast<qsizetype>(bytes), 0); }

    void send(const QByteArray& bytes, Written onWritten) override;
    void close() override;

private:
    void drained();

    QPointer<QTcpSocket> socket_;
    QByteArray padding_;
    std::vector<Written> waiting_; // replies still in Qt's buffer
};

// The application firmware on TCP port 4000: records what each connection brings, answers the
// boot and font-mode commands, and hands a font download to the boot loader through TcpLine.
class AppServer : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kPort = 4000;

    AppServer(const NetOptions& options, bool silent, QObject* parent = nullptr);

    posflash::Status listen();
    // No new connection from here on; those open stay.
    void stopListening() { server_.close(); }
    Transport& fontLine() { return fontLine_; }

    // app_connections, app_received_hex, app_boot_commands, app_font_mode_commands,
    // app_close_after_command_ms; errors for connections to another address.
    ReportAddition report() const;

signals:
    void connectionClosed();
    // A connection that carried the boot-loader command closed: a printer restarts now.
    void bootCommandEnded();

private:
    struct Connection {
        AppSession session;
        QByteArray received; // the first kReceivedCap bytes
        qint64 receivedTotal = 0;
        std::optional<std::int64_t> lastCommandUs;
    };
    static constexpr qsizetype kReceivedCap = 4096;

    void accept();
    void readable(QTcpSocket* socket, std::size_t index);
    void closed(QTcpSocket* socket, std::size_t index);
    void hangUp(QTcpSocket* socket);

    NetOptions options_;
    bool silent_;
    QTcpServer server_;
    TcpLine fontLine_;
    std::vector<Connection> connections_;
    int bootCommands_ = 0;
    int fontModeCommands_ = 0;
    std::optional<std::int64_t> closeAfterCommandMs_;
    QStringList errors_;
};

} // namespace posflash::sim
