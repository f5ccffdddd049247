#include "cli/redraw_pacer.h"

namespace posflash {

RedrawPacer::RedrawPacer(std::function<void()> draw, int intervalMs)
    : draw_(std::move(draw)), intervalMs_(intervalMs) {
    deadline_.setSingleShot(true);
    QObject::connect(&deadline_, &QTimer::timeout, [this] { drawNow(); });
}

void RedrawPacer::changed() {
    if (deadline_.isActive())
        return; // drawn at the deadline already set
    const qint64 since = sinceDrawn_.isValid() ? sinceDrawn_.elapsed() : intervalMs_;
    if (since >= intervalMs_)
        drawNow();
    else
        deadline_.start(static_cast<int>(intervalMs_ - since));
}

void RedrawPacer::flush() {
    if (deadline_.isActive())
        drawNow();
}

void RedrawPacer::drawNow() {
    deadline_.stop();
    sinceDrawn_.start();
    draw_();
}

} // namespace posflash
