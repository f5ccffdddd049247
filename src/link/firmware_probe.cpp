#include "link/firmware_probe.h"

#include "link/tcp_monitor.h"

#include <algorithm>

namespace posflash {

FirmwareProbe::FirmwareProbe(QString ip, int withinMs, QObject* parent)
    : QObject(parent), ip_(std::move(ip)), withinMs_(withinMs) {
    deadline_.setSingleShot(true);
    pause_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { end(false); });
    connect(&pause_, &QTimer::timeout, this, &FirmwareProbe::attempt);
    connect(&socket_, &QTcpSocket::connected, this, [this] { end(true); });
    connect(&socket_, &QTcpSocket::errorOccurred, this, &FirmwareProbe::refused);
}

void FirmwareProbe::start() {
    deadline_.start(withinMs_);
    attempt();
}

void FirmwareProbe::attempt() {
    if (!done_)
        socket_.connectToHost(ip_, TcpMonitor::kPort);
}

// A printer still restarting refuses (or its address is not up yet): look again a little later.
void FirmwareProbe::refused() {
    if (done_)
        return;
    socket_.abort();
    pause_.start(pauseMs_);
    pauseMs_ = std::min(pauseMs_ * 2, kLongestPauseMs);
}

void FirmwareProbe::end(bool answered) {
    if (done_)
        return;
    done_ = true;
    answered_ = answered;
    deadline_.stop();
    pause_.stop();
    socket_.abort();
    emit finished(answered);
}

} // namespace posflash
