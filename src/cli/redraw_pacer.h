#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

namespace posflash {

// Redraws a terminal view at most every intervalMs: a change draws at once when the last
// drawing is older than that, else once at the deadline, however many changes came between.
// Nothing runs while nothing changes.
class RedrawPacer {
public:
    explicit RedrawPacer(std::function<void()> draw, int intervalMs = 100);

    void changed();
    // Draws a change still held back, now (before a line that must follow it).
    void flush();

private:
    void drawNow();

    std::function<void()> draw_;
    int intervalMs_;
    QTimer deadline_;
    QElapsedTimer sinceDrawn_;
};

} // namespace posflash
