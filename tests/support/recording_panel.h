#pragma once

#include "base/panel.h"
#include "support/qt_printers.h"

#include <QStringList>

#include <functional>

namespace posflash::testing {

// A panel that remembers everything the engine showed.
class RecordingPanel : public Panel {
public:
    void setStatusLabel(const QString& text) override {
        label = text;
        labels << text;
        if (onLabel)
            onLabel(text);
    }
    QString statusLabel() const override { return label; }
    void setStatusPanel(const QString& text) override {
        statusPanel = text;
        statusPanels << text;
    }
    void showTipsBox(const QString& prompt, int) override {
        tips << prompt;
        if (whileTipsOpen) // a modal box runs events until it is dismissed
            whileTipsOpen();
    }
    void setProgressMax(int max) override { progressMax = max; }
    void setProgressValue(int value) override {
        progress = value;
        progressPeak = std::max(progressPeak, value);
    }
    void setDownloadCount(int count) override { downloadCount = count; }
    void setDownloadEnabled(bool enabled) override { downloadEnabled = enabled; }
    void setCancelEnabled(bool enabled) override { cancelEnabled = enabled; }
    void setAppToBootEnabled(bool enabled) override { appToBootEnabled = enabled; }
    void setBootStatusImage(int) override {}
    void setComIndex(int index) override { comIndex = index; }
    void setPortKindIndex(int) override {}
    QString programFilePath() const override { return programFile; }
    QString fontFilePath() const override { return fontFile; }
    QString ipAddressText() const override { return ip; }
    QString macAddressText() const override { return mac; }
    bool fontBootDown() const override { return fontBoot; }

    std::function<void(const QString&)> onLabel;
    std::function<void()> whileTipsOpen;
    QString label;
    QStringList labels;
    QString statusPanel;
    QStringList statusPanels;
    QStringList tips;
    int progressMax = 0;
    int progress = 0;
    int progressPeak = 0;
    int downloadCount = 0;
    bool downloadEnabled = true;
    bool cancelEnabled = false;
    bool appToBootEnabled = true;
    int comIndex = 0;
    QString programFile;
    QString fontFile;
    QString ip = QStringLiteral("192.168.123.100");
    QString mac = QStringLiteral("00-11-22-33-44-55");
    bool fontBoot = true;
};

} // namespace posflash::testing
