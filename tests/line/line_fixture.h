#pragma once

#include "history/history_store.h"
#include "line/line_window.h"
#include "support/fake_usb_inventory.h"
#include "support/printer_sims.h"
#include "support/private_home.h"
#include "support/widget_finder.h"

#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

namespace posflash::testing {

// The production window over private settings and history folders, its slots on simulated
// printers, the desktop's beep recorded.
class LineFixture : public ::testing::Test, protected PrivateHome {
protected:
    LineFixture() {
        host.beep = [this] { ++beeps; };
        host.historyPath = HistoryStore::defaultPath();
    }
    ~LineFixture() override { window.reset(); }

    // Choices for these ports, as the start panel gives them.
    static LineSettings settingsFor(const QString& image, const QStringList& ports) {
        LineSettings s;
        s.imagePath = image;
        s.ports = ports;
        s.operatorName = "Li Wei";
        s.language = "en";
        return s;
    }

    // Once the shift's image and recipe are in, unless the test watches them come.
    LineWindow& open(const LineSettings& settings, bool loaded = true) {
        window = std::make_unique<LineWindow>(settings, usb, host);
        if (loaded) {
            EXPECT_TRUE(QTest::qWaitFor([this] { return !window->loadingShift(); }, 10000));
        }
        return *window;
    }

    template <class T = QWidget>
    T& control(const QString& name) const {
        return FindControl<T>(window.get(), name);
    }
    // What a label says, whole: an elided one's full text.
    QString figure(const char* name) const {
        const auto& label = control<QLabel>(name);
        const auto* fitting = qobject_cast<const FittingLabel*>(&label);
        return fitting ? fitting->fullText() : label.text();
    }

    // A keyboard-wedge scanner: the label's keys as fast as they come, then Enter.
    void scan(const QString& label) {
        auto& box = control<QLineEdit>("txtLabel");
        QTest::keyClicks(&box, label);
        QTest::keyClick(&box, Qt::Key_Return);
        // The history's answer about the label comes from another thread; a scan may wait for
        // the operator's answer to a question.
        EXPECT_TRUE(QTest::qWaitFor(
            [this] { return !window->scanWaiting() || !window->question().isEmpty(); }, 5000));
    }

    // A picture of the window for the docs in its 256 most frequent colours, which hold the
    // tiles' and the texts' own: small in the repository.
    static bool SaveScreenshot(QWidget& widget, const QString& path) {
        const QImage shot = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QHash<QRgb, int> counts;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                ++counts[shot.pixel(x, y)];
        std::vector<std::pair<int, QRgb>> common;
        for (auto it = counts.begin(); it != counts.end(); ++it)
            common.emplace_back(-it.value(), it.key());
        std::sort(common.begin(), common.end());
        QList<QRgb> palette;
        for (std::size_t i = 0; i < std::min<std::size_t>(256, common.size()); ++i)
            palette << common[i].second;
        return shot.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither)
            .save(path);
    }

    bool waitIdle(int ms = 30000) {
        return QTest::qWaitFor([this] { return !window->scanWaiting() && !window->anyRunning(); },
                               ms);
    }

    // Every row of the history, oldest first, once the window's have landed.
    std::vector<HistoryRecord> rows() {
        if (window)
            window->history().finish();
        const auto all = HistoryStore().recent(0);
        EXPECT_TRUE(all.ok());
        std::vector<HistoryRecord> list = all ? *all : std::vector<HistoryRecord>{};
        std::reverse(list.begin(), list.end());
        return list;
    }

    PrinterSims sims;
    FakeUsbInventory usb;
    LineHost host;
    int beeps = 0;
    std::unique_ptr<LineWindow> window; // last: gone before what it uses
};

} // namespace posflash::testing
