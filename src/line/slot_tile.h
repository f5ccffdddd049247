#pragma once

#include "line/slot_choice.h"

#include <QFrame>

class QLineEdit;
class QVBoxLayout;
class QProgressBar;
class QPushButton;

namespace posflash {

class FittingLabel;

// What a tile shows; the colour follows it.
enum class TileState { Waiting, NeedsLabel, Updating, Retrying, Pass, Fail, SetUp, NotInUse };

// One slot's tile, readable from two metres: the slot, a big state word, a line of detail.
// Its controls are named with the slot's number (lblTileState_3, btnNext_3, txtMac_3).
class SlotTile : public QFrame {
    Q_OBJECT
public:
    SlotTile(int number, const SlotChoice& slot, QWidget* parent = nullptr);

    // Sixteen tiles of this width fit a 1280-pixel screen.
    static constexpr int kMinimumWidth = 180;

    void showWaiting(const QString& hint);
    void showNeedsLabel();
    // percent of the frames accepted; secondsLeft < 0 while unknown. An attempt after the
    // first stays amber, so the operator sees the unit is on a second try.
    void showUpdating(int percent, int secondsLeft, int attempt, int attempts);
    void showRetrying(int nextAttempt, int attempts, const QString& cause);
    // A frame goes again ("no answer, resend 1 of 2"); the state stays.
    void showFrameRetry(const QString& text);
    // The slot cannot work until someone fixes the station; no unit's verdict.
    void showSetUp(const QString& problem);
    // The shift does not use this slot (its recipe names other ports): no fault, no verdict.
    void showNotInUse(const QString& why);
    void showPass(qint64 ms, int attempts);
    void showFail(const QString& cause, const QString& remedy);
    void showUnit(const QString& unit); // the label or serial number of the unit on the slot
    void showStopping();
    // Marks the tile whose waiting unit the next scan starts, on the screen and for a screen
    // reader.
    void showNextScan(bool marked);
    bool nextScanShown() const;

    TileState state() const { return state_; }
    QString stateText() const;
    QString detailText() const;

signals:
    void nextPressed();
    void macEntered(const QString& mac);
    // A click on the tile itself, not on its button or MAC box.
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void setState(TileState state, const QString& word, const QString& detail,
                  const QString& remedy = {});

    TileState state_ = TileState::Waiting;
    int wordShare_ = 2; // the verdict's share of the height, as the tile's height decides
    FittingLabel* title_;
    FittingLabel* unit_;
    FittingLabel* word_;
    FittingLabel* detail_;
    QProgressBar* bar_;
    QPushButton* next_ = nullptr;
    QLineEdit* mac_ = nullptr;
    FittingLabel* nextScan_;
};

} // namespace posflash
