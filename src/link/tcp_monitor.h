#pragma once

#include "link/frame_transport.h"
#include "link/host_network.h"

#include <QTcpSocket>

#include <optional>

namespace posflash {

// The connection to the running firmware's port 4000: it carries the boot-loader and
// font-mode commands, and the frames of a font sent through the firmware.
class TcpMonitor : public FrameTransport {
    Q_OBJECT
public:
    static constexpr quint16 kPort = 4000;
    // After a close the printer needs a moment before the next connection.
    static constexpr int kAfterCloseMs = 100;

    explicit TcpMonitor(QObject* parent = nullptr);

    void connectTo(const QString& ip);
    bool isConnected() const;
    // Connected, and no error since it connected.
    bool isUsable() const { return isConnected() && !failed_; }

    Status send(ByteView frame) override;
    // Flushes the ARP entry of ip (the printer's), so the next packet finds its MAC afresh, and
    // closes the connection. True when one was open: the caller then pauses kAfterCloseMs.
    bool closeConnection(const QString& ip);
    // Set when the printer reset the connection (not a plain close), until the next connectTo:
    // ECONNRESET with the system's words.
    const std::optional<Error>& reset() const { return reset_; }

signals:
    void connected();
    // The connection closed or failed after it was made.
    void lost();

private:
    void ended();

    QTcpSocket socket_;
    bool failed_ = false;
    ConnectionEndWatch end_;
    std::optional<Error> reset_;
};

} // namespace posflash
