#pragma once

#include "base/error.h"
#include "printer-sim/bootp.h"
#include "printer-sim/options.h"
#include "printer-sim/report.h"
#include "printer-sim/udp_frame_line.h"

#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QUdpSocket>

#include <optional>

namespace posflash::sim {

// How the boot loader on Ethernet finds its host: a BOOTP request broadcast until a reply
// names it, then one datagram to the host's port 69; or, with --greet, a status-1 frame to a
// known host. The frames themselves go through the UdpFrameLine and the BootLoader.
class NetBoot : public QObject {
    Q_OBJECT
public:
    static constexpr quint16 kClientPort = 68;
    static constexpr quint16 kServerPort = 67;
    static constexpr quint16 kLinkPort = 69;
    // The printer's retry, not a poll: a real one asks again until it is answered.
    static constexpr int kRetryMs = 1000;

    NetBoot(const NetOptions& options, UdpFrameLine& frameLine, QObject* parent = nullptr);

    // Port 68 on every address (not needed for the greeting).
    posflash::Status bind();
    // Asks for a host (again after stop(): a printer restarted into its boot loader asks anew).
    void start();
    // Asks no more and takes no reply: the printer restarts.
    void stop();

    // bootp_requests, bootp_replies, server_ip, boot_file, linked, greetings_sent,
    // frame_senders, bootp_errors_not_listed; the errors of the replies and the frame addresses.
    ReportAddition report() const;

signals:
    void linked();

private:
    void sendRequest();
    void broadcast(const QByteArray& message);
    void repliesReadable();
    void onReply(const QByteArray& bytes);
    void link();
    void sendGreeting();
    void onFrameDatagram(const QHostAddress& sender, quint16 senderPort,
                         const QHostAddress& destination);
    void addError(const QString& text);
    void warnOnce(const QString& text);

    NetOptions options_;
    UdpFrameLine& frameLine_;
    QUdpSocket bootpSocket_;
    QTimer retryTimer_;
    BootpRequest fields_;
    Bytes request_;

    int requestsSent_ = 0;
    int repliesReceived_ = 0;
    int greetingsSent_ = 0;
    bool linked_ = false;
    bool asking_ = false;
    bool earlyFrameNoted_ = false;
    std::optional<Ipv4> serverIp_;
    std::optional<QString> bootFile_;
    QStringList frameSenders_;
    QSet<QString> wrongDestinations_;
    QStringList errors_;
    std::size_t errorsNotListed_ = 0;
    QSet<QString> warnings_;
};

} // namespace posflash::sim
