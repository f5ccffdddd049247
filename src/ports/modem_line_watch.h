#pragma once

#include <functional>
#include <memory>

namespace posflash {

// Watches the carrier-detect line of an open serial device and reports each change on the
// thread that started the watch. Qt reports no modem-line events; where the line driver can
// wait for them (a USB CDC-ACM port, a UART) the backend waits without polling, elsewhere (a
// pseudo-terminal) the watch simply never reports.
class ModemLineWatch {
public:
    virtual ~ModemLineWatch() = default;
    // fd stays open until stop() has returned.
    virtual void start(int fd, std::function<void()> onCarrierChange) = 0;
    virtual void stop() = 0;
};

std::unique_ptr<ModemLineWatch> MakeModemLineWatch();

} // namespace posflash
