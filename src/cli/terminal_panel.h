#pragma once

#include "base/panel.h"

namespace posflash {

class TerminalOutput;

// The panel of the command-line tool: status texts as lines on standard output, message
// boxes on standard error. On a terminal the per-frame line is rewritten in place.
class TerminalPanel : public Panel {
public:
    TerminalPanel(TerminalOutput& out, TerminalOutput& err, QString programFile, QString fontFile,
                  bool interactive);

    void setStatusLabel(const QString& text) override;
    QString statusLabel() const override { return label_; }
    void setStatusPanel(const QString& text) override;
    void showTipsBox(const QString& prompt, int style) override;
    void setProgressMax(int max) override { progressMax_ = max; }
    void setProgressValue(int value) override;
    void setDownloadCount(int) override {}
    void setDownloadEnabled(bool) override {}
    void setCancelEnabled(bool) override {}
    void setBootStatusImage(int) override {}
    void setComIndex(int) override {}
    void setPortKindIndex(int) override {}

    QString programFilePath() const override { return programFile_; }
    QString fontFilePath() const override { return fontFile_; }
    QString ipAddressText() const override { return ipAddress_; }
    QString macAddressText() const override { return macAddress_; }
    bool fontBootDown() const override { return fontBootDown_; }

    void setAddresses(const QString& ip, const QString& mac) {
        ipAddress_ = ip;
        macAddress_ = mac;
    }
    void setFontBootDown(bool viaBootLoader) { fontBootDown_ = viaBootLoader; }

private:
    void endRewrittenLine();

    TerminalOutput& out_;
    TerminalOutput& err_;
    QString programFile_;
    QString fontFile_;
    QString ipAddress_;
    QString macAddress_;
    QString label_;
    bool fontBootDown_ = true;
    bool interactive_;
    bool lineOpen_ = false;
    int progressMax_ = 0;
    int progress_ = 0;
    int lastPrintedTenth_ = -1;
};

} // namespace posflash
