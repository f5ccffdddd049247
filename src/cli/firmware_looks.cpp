#include "cli/firmware_looks.h"

#include <QEventLoop>

#include <memory>

namespace posflash {

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
