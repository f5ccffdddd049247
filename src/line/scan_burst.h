#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>

class QLineEdit;

namespace posflash {

// Keeps a keyboard-wedge scanner out of a text box a person fills in (the next operator's
// name): keys that come faster than a person types are a scan. Its characters are taken back
// out of the box and handed on as a scan; its Enter confirms nothing.
class ScanBurstGuard : public QObject {
    Q_OBJECT
public:
    // Closer than this, two keys are a scanner's (a fast typist's are 60 ms and more apart).
    static constexpr qint64 kBurstGapMs = 40;
    static constexpr int kShortestScan = 3;

    ScanBurstGuard(QLineEdit* box, std::function<void(const QString&)> scanned);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The run of keys so far, when it was a scanner's: out of the box, on to the window.
    bool takeBurst();

    QLineEdit* box_;
    std::function<void(const QString&)> scanned_;
    QElapsedTimer sinceKey_;
    QString beforeRun_; // the box's text before the run's first key
    QString run_;       // the run's characters
    bool fast_ = false; // a gap in the run was a scanner's
};

} // namespace posflash
