#include "line/scan_burst.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <utility>

namespace posflash {

ScanBurstGuard::ScanBurstGuard(QLineEdit* box, std::function<void(const QString&)> scanned)
    : QObject(box), box_(box), scanned_(std::move(scanned)) {
    box->installEventFilter(this);
}

bool ScanBurstGuard::takeBurst() {
    const bool burst = fast_ && run_.size() >= kShortestScan;
    if (burst) {
        box_->setText(beforeRun_);
        if (scanned_)
            scanned_(run_.trimmed());
    }
    run_.clear();
    fast_ = false;
    return burst;
}

bool ScanBurstGuard::eventFilter(QObject* watched, QEvent* event) {
    if (watched != box_ || event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        return takeBurst(); // a scan's Enter is swallowed with it
    if (key->text().isEmpty() || !key->text().at(0).isPrint())
        return false;
    const bool close = sinceKey_.isValid() && sinceKey_.elapsed() < kBurstGapMs;
    sinceKey_.start();
    if (!close) {
        takeBurst(); // a scan without its Enter ends at the pause after it
        beforeRun_ = box_->text();
    }
    fast_ = fast_ || close;
    run_ += key->text();
    return false;
}

} // namespace posflash
