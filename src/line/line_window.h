#pragma once

#include "fleet/fleet_boot_ports.h"
#include "line/fitting_label.h"
#include "line/label_desk.h"
#include "line/label_lookup.h"
#include "line/line_host.h"
#include "line/line_settings.h"
#include "line/line_slot.h"
#include "line/question_bar.h"
#include "line/recipe_fetch.h"
#include "line/shift_counters.h"
#include "line/slot_chooser.h"
#include "ports/com_port_map.h"
#include "unit/download_history.h"

#include <QElapsedTimer>
#include <QSet>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace posflash {

class BackgroundSync;
class FittingLabel;
class SlotTile;
class UsbInventory;

// The production window: a tile per slot, the shift's counters and the label box. The shift's
// choices are fixed while it is open; they were made before, in the start panel or on the
// command line. Its controls are found by objectName: txtLabel, btnNewShift, lblPassed,
// lblFailed, lblTotal, lblYield, lblMeanTime, btnShiftReport, lblRecords (the records sync's state,
// when a records address is set), and each tile's (see SlotTile).
class LineWindow : public QWidget {
    Q_OBJECT
public:
    LineWindow(const LineSettings& settings, const UsbInventory& inventory,
               LineHost host = LineHost::system(), QWidget* parent = nullptr);
    ~LineWindow() override;

    // The tiles run: COM slots and network slots with a known MAC start their first unit, USB
    // slots the printers already plugged in.
    void startShift();
    // Whether the records sync's threads still run, answerable after the window is gone.
    std::function<bool()> recordsThreads() const;
    // The host's USB devices changed: a printer plugged into a USB slot is its next unit.
    void scanUsb();
    // A stop signal (TERM, HUP, INT): as leaving with a yes, without the question. The running
    // units end as a cancel ends them, each recorded, then the window closes.
    void leaveNow();

    int slotCount() const { return static_cast<int>(slots_.size()); }
    LineSlot& slot(int number) { return *slots_[static_cast<std::size_t>(number - 1)]; }
    SlotTile& tile(int number);
    const ShiftCounters& counters() const { return counters_; }
    DownloadHistory& history() { return history_; }
    bool anyRunning() const;
    // A scan waits for what the history knows of its label, or for its question's answer.
    bool scanWaiting() const { return !scans_.empty(); }
    // The question the window asks now; empty when none.
    const QString& question() const { return questions_->question(); }
    const QString& shiftId() const { return shift_.context.shift; }
    const SlotChooser& chooser() const { return chooser_; }
    // The shift's image and recipe are still on their way: no unit starts.
    bool loadingShift() const { return recipeAsked_ != 0; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // The tiles take the column count that suits the window's shape.
    void resizeEvent(QResizeEvent* event) override;
    // Keys typed anywhere else in the window go to the label box: a scanner types blind.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeLabelRow();
    void labelEntered();
    // A new unit is on slot n (Next, plugged in, the shift's start, a MAC); what is known of it
    // as LineSlot::unitAppeared takes it.
    void unitArrived(int n, const Printer& arrived = {});
    void act(const SlotChooser::Action& action, const Printer& arrived = {});
    void unitDone(int slot, bool passed, int attempts, qint64 ms);
    void slotIdle(int slot);
    void askNewShift();
    // Writes this shift's report into the host's reports folder and says where.
    void writeShiftReport();
    void beginShift();
    // The shift's image and recipe, read and checked (or fetched from the line's records) on
    // the fetch's thread; shiftLoaded goes on.
    void loadShift();
    void shiftLoaded(quint64 ticket, const ShiftLoad& loaded);
    // The recipe in recipe_ for the shift: its gate, its image, its label rule, the slots it
    // leaves out or refuses.
    void applyRecipe();
    // Whether a unit of this shift counts in the counters and yield: not under an engineering
    // recipe.
    bool counts() const;
    void showShiftChoices();
    void keepFocus();
    void showCounters();
    void showPendingLabel();
    void startRecords(const QString& address);
    void nextScan();
    // A label the shift's recipe refuses is said, with a beep.
    bool refusedByRecipe(const QString& label);
    void refuseLabel(const QString& why);
    // The line under the label box: a held label, a refusal, or what the scans wait for.
    void showScanLine(const QString& text, bool refusal);
    // The MAC a scan names, when it reads as one and a network slot could take it.
    std::optional<QString> scannedMac(const QString& label) const;
    void labelLookedUp(const QString& label, bool known, const QString& station,
                       const QDateTime& startedAt);
    // A label scanned into the box or into a dialog: queued behind the scans before it.
    void takeScan(const QString& label);
    // The scan at the head of the queue waits for the operator's answer to question.
    void askAboutScan(const QString& label, const QString& question);
    void giveScan(const QString& label);
    // A slot's own code at the head of the scans: the next label goes to that slot's unit.
    void takeSlotCode(const QString& code, const QString& rest);
    // The operator points the next scan at slot n (a click on its tile, its code).
    SlotChooser::Direction directScan(int n);
    // A second label while one is held for the next unit: refused, with a beep.
    void refuseSecondHeld(const QString& label);
    // Marks the tile the next scan goes to.
    void showNextScan();

    LineHost host_;
    LineSettings settings_;
    ShiftRecipe recipe_; // the shift's: loaded again at each new shift
    Result<SharedImage> image_ = Error{};
    const UsbInventory& inventory_;
    ShiftChoices shift_;
    QString serialPrefix_;
    ComPortMap comPorts_;
    DownloadHistory history_;
    FleetBootPorts bootPorts_;
    std::unique_ptr<BackgroundSync> records_;
    LabelDesk labels_;
    LabelLookup labelLookup_{host_.historyPath};
    RecipeFetch recipeFetch_{host_.loadRecipe};
    quint64 recipeAsked_ = 0; // the fetch whose answer the shift waits for; 0: none
    // Units that arrived while the recipe was fetched, by slot: they start under it once it is
    // in.
    std::map<int, Printer> heldArrivals_;
    std::deque<QString> scans_; // the oldest is being acted on
    ShiftCounters counters_;
    QElapsedTimer shiftClock_;
    std::vector<SlotTile*> tiles_;
    QGridLayout* grid_ = nullptr;
    int columns_ = 0;
    std::vector<std::unique_ptr<LineSlot>> slots_;
    SlotChooser chooser_;
    std::map<int, QSet<QString>> presentBefore_; // USB slot: printers at the scan before
    bool leaving_ = false;

    QLineEdit* labelBox_ = nullptr;
    FittingLabel* pendingLabel_ = nullptr;
    QuestionBar* questions_ = nullptr;
    bool askingAboutScan_ = false; // the scan at the head of scans_ waits for an answer
    bool closeAsked_ = false;
    FittingLabel* imageLine_ = nullptr;
    FittingLabel* shiftChoices_ = nullptr;
    FittingLabel* shiftSince_ = nullptr;
    FittingLabel* recordsState_ = nullptr;
    std::map<QString, FittingLabel*> figures_;
};

} // namespace posflash
