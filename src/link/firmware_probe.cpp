#include "link/firmware_probe.h"

#include "link/tcp_monitor.h"

#include <QEventLoop>

#include <algorithm>
#include <memory>

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

std::vector<bool> FirmwaresAnswering(const QStringList& ips, int withinMs) {
    std::vector<std::unique_ptr<FirmwareProbe>> probes;
    QEventLoop loop;
    int left = 0;
    for (const QString& ip : ips) {
        if (ip.isEmpty()) {
            probes.emplace_back();
            continue;
        }
        ++left;
        probes.push_back(std::make_unique<FirmwareProbe>(ip, withinMs));
        QObject::connect(probes.back().get(), &FirmwareProbe::finished, &loop, [&] {
            if (--left == 0)
                loop.quit();
        });
        probes.back()->start();
    }
    if (left > 0)
        loop.exec();
    std::vector<bool> answers;
    for (const auto& probe : probes)
        answers.push_back(!probe || probe->answered());
    return answers;
}

} // namespace posflash
