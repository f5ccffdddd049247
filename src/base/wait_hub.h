#pragma once

#include <QObject>

#include <functional>
#include <optional>
#include <vector>

class QEventLoop;

namespace posflash {

// Every wait of the tool is a nested event loop registered here. The event that decides a
// wait (a judged reply, the cancel button) calls recheck(), which ends the waits whose
// condition now holds in the same event-loop turn; a timer ends the others. Nothing polls.
class WaitHub {
public:
    enum class End { Condition, Timeout, Shutdown };

    // Waits until done() holds, timeoutMs passes (none: no limit) or shutdown() is called.
    End waitFor(const std::function<bool()>& done, std::optional<int> timeoutMs);

    // Re-evaluates the conditions of the running waits.
    void recheck();

    // Ends every wait now; later waits return at once. Used when the program quits.
    void shutdown();
    bool isShuttingDown() const { return shuttingDown_; }

private:
    struct Active {
        QEventLoop* loop;
        const std::function<bool()>* done;
    };
    std::vector<Active> active_;
    bool shuttingDown_ = false;
};

} // namespace posflash
