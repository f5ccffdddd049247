#pragma once

#include <QString>

namespace posflash {

// What the window shows of a download: the controls its texts, counters and buttons go to.
// Output only; the window implements it with widgets, tests with a recorder.
class Panel {
public:
    virtual ~Panel() = default;

    virtual void setStatusLabel(const QString& text) = 0; // lblStatus
    // ShowStatus(0), the status panel; the text arrives with its leading space.
    virtual void setStatusPanel(const QString& text) = 0;
    // The modal "Tips" box; style is the button code.
    virtual void showTipsBox(const QString& prompt, int style) = 0;
    virtual void setProgressMax(int max) = 0;
    virtual void setProgressValue(int value) = 0;
    virtual void setDownloadCount(int count) = 0; // lblTotal
    virtual void setDownloadEnabled(bool enabled) = 0;
    virtual void setCancelEnabled(bool enabled) = 0;
    virtual void setAppToBootEnabled(bool enabled) = 0;
};

} // namespace posflash
