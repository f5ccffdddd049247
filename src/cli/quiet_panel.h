#pragma once

#include "base/panel.h"

#include <QString>

namespace posflash {

// The panel of a printer that shares the terminal with others: it shows nothing itself. What
// the download did reaches the output through the driver's signals and its summary.
class QuietPanel : public Panel {
public:
    QuietPanel(QString programFile, QString fontFile, QString ip, QString mac)
        : programFile_(std::move(programFile)), fontFile_(std::move(fontFile)), ip_(std::move(ip)),
          mac_(std::move(mac)) {}

    void setStatusLabel(const QString& text) override { label_ = text; }
    QString statusLabel() const override { return label_; }
    void setStatusPanel(const QString&) override {}
    void showTipsBox(const QString&, int) override {}
    void setProgressMax(int) override {}
    void setProgressValue(int) override {}
    void setDownloadCount(int) override {}
    void setDownloadEnabled(bool) override {}
    void setCancelEnabled(bool) override {}
    void setBootStatusImage(int) override {}
    void setComIndex(int) override {}
    void setPortKindIndex(int) override {}
    QString programFilePath() const override { return programFile_; }
    QString fontFilePath() const override { return fontFile_; }
    QString ipAddressText() const override { return ip_; }
    QString macAddressText() const override { return mac_; }
    bool fontBootDown() const override { return true; }

private:
    QString programFile_;
    QString fontFile_;
    QString ip_;
    QString mac_;
    QString label_;
};

} // namespace posflash
