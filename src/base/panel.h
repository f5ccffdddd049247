#pragma once

#include <QString>

namespace posflash {

// What the engine shows and reads in the window. The window implements it with widgets, the
// command-line tool with a terminal, the tests with a recorder.
class Panel {
public:
    virtual ~Panel() = default;

    // lblStatus, the download state line.
    virtual void setStatusLabel(const QString& text) = 0;
    virtual QString statusLabel() const = 0;
    // ShowStatus(0), the status panel; the text arrives with its leading space.
    virtual void setStatusPanel(const QString& text) = 0;
    // The modal "Tips" box; style is the button code the caller asked for.
    virtual void showTipsBox(const QString& prompt, int style) = 0;

    virtual void setProgressMax(int max) = 0;
    virtual void setProgressValue(int value) = 0;
    virtual void setDownloadCount(int count) = 0; // lblTotal
    virtual void setDownloadEnabled(bool enabled) = 0;
    virtual void setCancelEnabled(bool enabled) = 0;
    // cmdAppToBoot, disabled while the boot-loader command runs.
    virtual void setAppToBootEnabled(bool enabled) { (void)enabled; }
    virtual void setBootStatusImage(int item) = 0; // imgBootStatus: 0 grey, 1 green
    virtual void setComIndex(int index) = 0;       // ComboSerialSelect follows the engine
    virtual void setPortKindIndex(int index) = 0;  // optPortSelect follows the engine

    virtual QString programFilePath() const = 0; // txtFilePath
    virtual QString fontFilePath() const = 0;    // txtFontFilePath
    virtual QString ipAddressText() const = 0;   // txtcIPAddr
    virtual QString macAddressText() const = 0;  // txtcMACAddr
    virtual bool fontBootDown() const = 0;       // chkFontBootDown checked
};

} // namespace posflash
