#include "line/line_window.h"

#include "line/fitting_label.h"

#include "base/config_paths.h"
#include "download/image_verdict.h"
#include "fleet/multi_download.h"
#include "fleet/target_filter.h"
#include "line/image_summary.h"
#include "line/shift_report_action.h"
#include "line/slot_codes.h"
#include "line/slot_tile.h"
#include "link/network_boot.h"
#include "ports/usb_inventory.h"
#include "protocol/image_file.h"
#include "recipe/recipe_texts.h"
#include "records/background_sync.h"
#include "records/records_address.h"
#include "unit/recipe_gate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSysInfo>
#include <QTime>
#include <QUuid>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace posflash {

namespace {

// A network unit, known by the MAC scanned or typed.
Printer UnitWithMac(const QString& mac) {
    Printer unit;
    unit.mac = mac;
    return unit;
}

// Columns of the tile grid: the count that leaves the texts of a tile the most room once its
// title and Next button are placed, among shapes from a tall card to a wide one. Before the
// first layout there is no room yet: a row of four up to eight slots, wider rows beyond.
int columnsFor(int tiles, QSize room) {
    if (tiles <= 1)
        return 1;
    if (room.isEmpty())
        return tiles <= 4 ? tiles : tiles <= 8 ? 4 : tiles <= 18 ? 6 : 8;
    constexpr double kChromeWidth = 30, kChromeHeight = 80; // margins, title, Next
    int best = 1;
    double bestRoom = -1;
    for (int columns = 1; columns <= tiles; ++columns) {
        const int rows = (tiles + columns - 1) / columns;
        const double w = static_cast<double>(room.width()) / columns;
        const double h = static_cast<double>(room.height()) / rows;
        // A narrower tile than its minimum would widen the window past its screen.
        if (w / h < 0.8 || w / h > 2.5 || w < SlotTile::kMinimumWidth + 10)
            continue;
        const double text = std::max(0.0, w - kChromeWidth) * std::max(0.0, h - kChromeHeight);
        if (text > bestRoom) {
            bestRoom = text;
            best = columns;
        }
    }
    return bestRoom < 0 ? (tiles <= 4 ? tiles : tiles <= 8 ? 4 : tiles <= 18 ? 6 : 8) : best;
}

// The header's row, in shares: the shift's lines, and each figure.
constexpr int kAboutShare = 7;
constexpr int kFigureShare = 2;

QString minutesAndSeconds(qint64 ms) {
    const qint64 s = (ms + 500) / 1000;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

std::vector<SlotKind> kindsOf(const std::vector<SlotChoice>& choices) {
    std::vector<SlotKind> kinds;
    for (const SlotChoice& c : choices)
        kinds.push_back(c.kind);
    return kinds;
}

bool labelRequired(const LineSettings& settings, const ShiftRecipe& recipe) {
    return settings.requireLabel || (recipe.gate && recipe.gate->recipe().labelRequired);
}

// A button the operator reaches with Tab: a click leaves the keyboard in the label box.
QPushButton* TabButton(const QString& text, const char* name, const QString& accessibleName,
                       int height, const QFont& font, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAccessibleName(accessibleName);
    button->setMinimumHeight(height);
    button->setFont(font);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

LineWindow::LineWindow(const LineSettings& settings, const UsbInventory& inventory, LineHost host,
                       QWidget* parent)
    : QWidget(parent), host_(std::move(host)), settings_(settings), inventory_(inventory),
      comPorts_(RunPortMap(ComPortMapPath())), history_(QStringLiteral("line"), host_.historyPath),
      chooser_(kindsOf(SlotsOf(settings)), settings.requireLabel) {
    setObjectName("LineWindow");
    connect(&labelLookup_, &LabelLookup::answered, this, &LineWindow::labelLookedUp);
    connect(&recipeFetch_, &RecipeFetch::fetched, this, &LineWindow::shiftLoaded);
    setWindowTitle(tr("posflash (production line)"));
    shift_.retries = settings.retries;
    shift_.chinese = LineSpeaksChinese(settings);
    serialPrefix_ = settings.serialPrefix;
    shift_.context.operatorName = settings.operatorName;
    shift_.context.station = !host_.station.isEmpty()      ? host_.station
                             : !settings.station.isEmpty() ? settings.station
                                                           : QSysInfo::machineHostName();
    const std::vector<SlotChoice> choices = SlotsOf(settings);
    if (!settings.network.empty()) {
        QStringList printerIps;
        for (const NetworkSlotChoice& slot : settings.network)
            printerIps << slot.ip;
        bootPorts_.bind(printerIps); // one binding for every network slot
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeHeader());
    layout->addWidget(makeLabelRow());
    questions_ = new QuestionBar(this);
    layout->addWidget(questions_);
    auto* grid = grid_ = new QGridLayout;
    grid->setSpacing(10);
    const int columns = columns_ = columnsFor(static_cast<int>(choices.size()), {});
    for (std::size_t i = 0; i < choices.size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        auto* tile = new SlotTile(number, choices[i], this);
        tiles_.push_back(tile);
        grid->addWidget(tile, static_cast<int>(i) / columns, static_cast<int>(i) % columns);
        slots_.push_back(std::make_unique<LineSlot>(number, choices[i], shift_, comPorts_,
                                                    inventory_, &history_, *tile, bootPorts_));
        LineSlot& s = *slots_.back();
        connect(&s, &LineSlot::unitDone, this, &LineWindow::unitDone);
        connect(&s, &LineSlot::idle, this, &LineWindow::slotIdle);
        connect(&s, &LineSlot::setUpNeeded, this, [this](int n) {
            chooser_.unusable(n);
            showNextScan();
        });
        // A click on a waiting unit's tile: its label is the next scan. Elsewhere, nothing.
        connect(tile, &SlotTile::clicked, this, [this, number] {
            directScan(number);
            keepFocus();
        });
        connect(tile, &SlotTile::nextPressed, this, [this, number] {
            unitArrived(number);
            keepFocus();
        });
        connect(tile, &SlotTile::macEntered, this, [this, number](const QString& typed) {
            const auto mac = MacFromLabel(typed);
            if (!mac) {
                this->tile(number).showWaiting(tr("\"%1\" is no MAC address.").arg(typed));
            } else if (!chooser_.isRetry(*mac) || loadingShift()) {
                unitArrived(number, UnitWithMac(*mac));
            } else {
                act(chooser_.scanned(*mac, true), UnitWithMac(*mac));
            }
            keepFocus();
        });
    }
    layout->addLayout(grid, 1);
    loadShift();
    beginShift();
    if (!settings.records.isEmpty())
        startRecords(settings.records);
    qApp->installEventFilter(this);
}

LineWindow::~LineWindow() {
    qApp->removeEventFilter(this);
    slots_.clear(); // the engines stop before the history they write to goes
    history_.landed() = nullptr;
}

void LineWindow::startRecords(const QString& address) {
    recordsState_->show();
    BackgroundSync::Options options;
    options.retryFirstMs = host_.recordsRetryFirstMs;
    records_ = std::make_unique<BackgroundSync>(host_.historyPath, options);
    // A refusal stays in the header until someone fixes the server or the address: the sync
    // asks again only with the next row, and says the same.
    connect(records_.get(), &BackgroundSync::stateChanged, this, [this](const QString& state) {
        recordsState_->setFullText(state);
        // Offline passes on its own; a refusal needs someone, so it stands out.
        const Status& status = records_->last().status;
        const bool refused = (!status && !HasTrouble(status, records_trouble::kOffline)) ||
                             records_->last().setAsideInAll > 0;
        recordsState_->setStyleSheet(refused ? "color: #ffb300; font-weight: bold;" : QString());
        const QString why = records_->last().refusals.isEmpty()
                                ? (status ? QString() : status.error().text)
                                : records_->last().refusals.join('\n');
        recordsState_->setToolTipNote(why.isEmpty() ? records_->shownAddress()
                                                    : records_->shownAddress() + ": " + why);
    });
    if (Status started = records_->start(address); !started) {
        records_.reset();
        recordsState_->setFullText(tr("records: address not understood"));
        recordsState_->setToolTipNote(RedactedRecordsAddress(address) + ": " +
                                      started.error().text);
        return;
    }
    recordsState_->setToolTipNote(records_->shownAddress());
    // Only rows in the database can be sent; a row in the journal goes with a later write.
    history_.landed() = [this](const HistoryWrite& write) {
        if (records_ && write.place == HistoryWrite::Place::Database)
            records_->syncNow();
    };
}

SlotTile& LineWindow::tile(int number) {
    return *tiles_[static_cast<std::size_t>(number - 1)];
}

QWidget* LineWindow::makeHeader() {
    auto* header = new QFrame(this);
    header->setObjectName("header");
    header->setStyleSheet("#header { background: #263238; border-radius: 8px; }"
                          "#header QLabel { color: #eceff1; }");
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(16, 8, 16, 8);

    auto* about = new QVBoxLayout;
    // A long file name gives way to the figures: elided, whole in its tooltip.
    auto* image = imageLine_ = new FittingLabel("lblImage", 20, 14, true, false, header);
    image->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    image->setFixedHeight(QFontMetrics(image->font()).height());
    // Operator, station and recipe come from outside: elided to their room, never markup.
    auto* operatorLine = shiftChoices_ =
        new FittingLabel("lblShiftChoices", 16, 16, false, false, header);
    QFont medium = operatorLine->font();
    operatorLine->setFixedHeight(QFontMetrics(medium).height());
    shiftSince_ = new FittingLabel("lblShiftSince", 16, 12, false, false, header);
    about->addWidget(image);
    about->addWidget(operatorLine);
    // The shift's start and the records' state share a line: the tiles get the height.
    auto* since = new QHBoxLayout;
    since->addWidget(shiftSince_, 2);
    about->addLayout(since);
    recordsState_ = new FittingLabel("lblRecords", 16, 12, false, false, header);
    recordsState_->setAccessibleName(tr("Records database"));
    recordsState_->hide(); // no records address: nothing to say
    since->addSpacing(16);
    since->addWidget(recordsState_, 3);
    for (FittingLabel* line : {shiftSince_, recordsState_}) {
        line->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        line->setFixedHeight(QFontMetrics(medium).height());
    }
    row->addLayout(about, kAboutShare);

    const std::pair<const char*, QString> figures[] = {
        {"lblPassed", tr("Passed")},
        {"lblFailed", tr("Failed")},
        {"lblTotal", tr("Total")},
        {"lblYield", tr("First-pass yield")},
        {"lblFinalYield", tr("Final yield")},
        {"lblMeanTime", tr("Mean per unit")},
    };
    // Each figure and its caption shrink to their share of the row ("100.0 %" included):
    // no figure widens the window.
    QStringList captions;
    for (const auto& figure : figures)
        captions << figure.second;
    for (const auto& [name, caption] : figures) {
        auto* box = new QVBoxLayout;
        auto* value = new FittingLabel(QLatin1String(name), 34, 18, true, false, header);
        value->setProperty("caption", caption);
        auto* text = new FittingLabel({}, 16, 11, false, false, header);
        text->setFullText(caption);
        // One size for the figures, and one for the captions, as a row of gauges has.
        value->setSizedLike({QStringLiteral("100.0 %")});
        text->setSizedLike(captions);
        for (FittingLabel* label : {value, text}) {
            label->setAlignment(Qt::AlignCenter);
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
            label->setFixedHeight(QFontMetrics(label->font()).height());
        }
        box->addWidget(value);
        box->addWidget(text);
        row->addSpacing(12);
        row->addLayout(box, kFigureShare);
        figures_[QLatin1String(name)] = value;
    }
    auto* newShift = TabButton(tr("New shift"), "btnNewShift",
                               tr("Start a new shift: counters to zero"), 44, medium, header);
    connect(newShift, &QPushButton::clicked, this, &LineWindow::askNewShift);
    row->addSpacing(12);
    row->addWidget(newShift);
    return header;
}

QWidget* LineWindow::makeLabelRow() {
    auto* box = new QWidget(this);
    auto* lines = new QVBoxLayout(box);
    lines->setContentsMargins(0, 4, 0, 0);
    lines->setSpacing(4);
    auto* row = new QHBoxLayout;
    lines->addLayout(row);
    auto* caption = new QLabel(tr("Label"), box);
    QFont f = caption->font();
    f.setPixelSize(20);
    caption->setFont(f);
    labelBox_ = new QLineEdit(box);
    labelBox_->setObjectName("txtLabel");
    labelBox_->setAccessibleName(tr("Scanned label"));
    labelBox_->setPlaceholderText(tr("Scan the unit's label (or type it and press Enter)"));
    labelBox_->setFont(f);
    labelBox_->setMinimumHeight(38);
    caption->setBuddy(labelBox_);
    // What became of the last scan, on a line of its own under the box, the whole width: a
    // held label, or a refusal that stands out. Elided to its room, it never pushes the window
    // past the screen.
    pendingLabel_ = new FittingLabel("lblNextLabel", 16, 12, true, true, box);
    pendingLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pendingLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    pendingLabel_->setFixedHeight(QFontMetrics(pendingLabel_->font()).lineSpacing() + 6);
    pendingLabel_->setContentsMargins(8, 0, 8, 0);
    row->addWidget(caption);
    row->addWidget(labelBox_, 1);
    // Beside the label box, where the header's figures leave it room on a small screen.
    auto* report = TabButton(tr("Shift report"), "btnShiftReport",
                             tr("Write this shift's report (HTML and PDF)"), 42, f, box);
    connect(report, &QPushButton::clicked, this, &LineWindow::writeShiftReport);
    row->addWidget(report);
    lines->addWidget(pendingLabel_);
    connect(labelBox_, &QLineEdit::returnPressed, this, &LineWindow::labelEntered);
    showPendingLabel();
    return box;
}

void LineWindow::startShift() {
    for (auto& s : slots_) {
        if (s->choice().kind == SlotKind::Com)
            unitArrived(s->number());
        else if (s->choice().kind == SlotKind::Network && !s->choice().printer.mac.isEmpty())
            unitArrived(s->number(), UnitWithMac(s->choice().printer.mac));
    }
    scanUsb();
    keepFocus();
}

void LineWindow::scanUsb() {
    if (leaving_)
        return;
    const auto devices = inventory_.devices();
    if (!devices)
        return;
    for (auto& s : slots_) {
        if (s->choice().kind != SlotKind::Usb)
            continue;
        const UsbTargetFilter filter{{s->choice().place}, serialPrefix_};
        std::optional<Printer> fresh;
        for (const ScannedPrinter& printer :
             ScanPrinters(devices, filter, false, presentBefore_[s->number()]))
            if (!fresh && !printer.seenBefore)
                fresh = PrinterOfUsbDevice(printer.device);
        // The verdict stays until the next printer is plugged in.
        if (fresh)
            unitArrived(s->number(), *fresh);
    }
    keepFocus();
}

void LineWindow::unitArrived(int n, const Printer& arrived) {
    const SlotChooser::Phase phase = chooser_.phase(n);
    if (leaving_ || phase == SlotChooser::Phase::Running || phase == SlotChooser::Phase::NeedsLabel)
        return;
    if (loadingShift()) {
        heldArrivals_[n] = arrived;
        tile(n).showWaiting(recipe_.problem);
        return;
    }
    if (!slot(n).checkSetUp().isEmpty())
        return; // the tile says what to fix; no unit, no row
    act(chooser_.arrived(n), arrived);
}

void LineWindow::act(const SlotChooser::Action& action, const Printer& arrived) {
    using Kind = SlotChooser::Action::Kind;
    switch (action.kind) {
    case Kind::None:
        break;
    case Kind::Hold:
        break; // shown below, for the next unit to take
    case Kind::Refuse:
        refuseSecondHeld(action.label);
        return;
    case Kind::Wait:
        slot(action.slot).unitAppeared({}, arrived);
        break;
    case Kind::Start:
        labels_.given(action.label, action.slot);
        if (slot(action.slot).needsLabel())
            slot(action.slot).giveLabel(action.label);
        else
            slot(action.slot).unitAppeared(action.label, arrived);
        break;
    case Kind::Retry:
        // Tried again, the unit keeps its id and counts once: at its new verdict.
        slot(action.slot).retryUnit();
        break;
    }
    showPendingLabel();
    showNextScan();
}

void LineWindow::showNextScan() {
    const int target = chooser_.target();
    for (std::size_t i = 0; i < tiles_.size(); ++i)
        tiles_[i]->showNextScan(static_cast<int>(i) + 1 == target);
}

SlotChooser::Direction LineWindow::directScan(int n) {
    const SlotChooser::Direction direction = chooser_.direct(n);
    if (direction == SlotChooser::Direction::Directed) {
        showPendingLabel();
        showNextScan();
    }
    return direction;
}

void LineWindow::takeSlotCode(const QString& code, const QString& rest) {
    bool number = false;
    const int n = rest.toInt(&number);
    switch (number ? directScan(n) : SlotChooser::Direction::NoSuchSlot) {
    case SlotChooser::Direction::Directed:
        break;
    case SlotChooser::Direction::NoSuchSlot:
        showScanLine(tr("%1 refused: this station has no slot %2, only 1 to %3.")
                         .arg(code, rest)
                         .arg(slotCount()),
                     true);
        if (host_.beep)
            host_.beep();
        break;
    case SlotChooser::Direction::NotWaiting:
        showScanLine(tr("%1 refused: no unit on slot %2 waits for its label.").arg(code).arg(n),
                     true);
        if (host_.beep)
            host_.beep();
        break;
    }
}

void LineWindow::refuseSecondHeld(const QString& label) {
    showScanLine(tr("%1 refused: %2 is held for the next unit. Give it (Next) or "
                    "drop it (Esc), then scan again.")
                     .arg(label, chooser_.held()),
                 true);
    if (host_.beep)
        host_.beep();
}

void LineWindow::keepFocus() {
    if (labelBox_->isEnabled())
        labelBox_->setFocus(Qt::OtherFocusReason);
}

bool LineWindow::eventFilter(QObject* watched, QEvent* event) {
    // Esc in the label box drops the label held for the next unit, as the label line says.
    if (event->type() == QEvent::KeyPress && watched == labelBox_ &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        const QString held = chooser_.held();
        if (!chooser_.dropHeld())
            return false;
        showScanLine(tr("%1 dropped: it goes to no unit.").arg(held), false);
        return true;
    }
    // With the label box in focus, a key is its own, or one it passed on to its parents
    // (Enter): nothing to forward.
    if (event->type() != QEvent::KeyPress || watched == labelBox_ || !labelBox_->isEnabled() ||
        labelBox_->hasFocus())
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Only the key as it reaches the focused widget, not as it is passed on to its parents.
    if (!widget || widget != QApplication::focusWidget())
        return false;
    // Only this window's own widgets: a question's keys are the question's. A text box of a
    // tile (a MAC) keeps what is typed into it.
    if (!widget || widget->window() != this || qobject_cast<QLineEdit*>(widget))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool printable = !key->text().isEmpty() && key->text().at(0).isPrint() &&
                           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    // A space on a focused button presses it, as a keyboard user means it to.
    if (!enter && (!printable || (key->key() == Qt::Key_Space && widget != this &&
                                  qobject_cast<QPushButton*>(widget))))
        return false;
    keepFocus();
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(),
                   static_cast<ushort>(key->count()));
    QCoreApplication::sendEvent(labelBox_, &copy);
    return true;
}

void LineWindow::labelEntered() {
    const QString label = labelBox_->text().trimmed();
    labelBox_->clear();
    takeScan(label);
}

void LineWindow::takeScan(const QString& label) {
    if (label.isEmpty() || leaving_)
        return;
    if (label.size() > kMaxLabelLength) {
        refuseLabel(tr("it is %1 characters long, and a label has at most %2")
                        .arg(label.size())
                        .arg(kMaxLabelLength));
        return;
    }
    // Scans are acted on in the order they came, each once what is known of its label is in.
    scans_.push_back(label);
    if (scans_.size() == 1)
        nextScan();
}

std::optional<QString> LineWindow::scannedMac(const QString& label) const {
    // Twelve hex digits are a MAC only where a network slot can take one; elsewhere they are a
    // serial label like any other.
    const bool network = std::any_of(slots_.begin(), slots_.end(), [](const auto& s) {
        return s->choice().kind == SlotKind::Network;
    });
    return network ? MacFromLabel(label) : std::nullopt;
}

void LineWindow::showScanLine(const QString& text, bool refusal) {
    pendingLabel_->setFullText(text);
    // A refusal in white on red, with a frame: seen from the fixture, colour-blind or not.
    pendingLabel_->setStyleSheet(refusal ? QStringLiteral("#lblNextLabel { color: #ffffff; "
                                                          "background: #b91c1c; border: 2px solid "
                                                          "#1f2329; border-radius: 6px; }")
                                         : QString());
}

void LineWindow::refuseLabel(const QString& why) {
    showScanLine(tr("Label refused: %1. Scan the label again.").arg(why), true);
    if (host_.beep)
        host_.beep();
}

bool LineWindow::refusedByRecipe(const QString& label) {
    // A MAC goes to a network unit, whose MAC the recipe's targets judge as it starts.
    if (!shift_.recipe || scannedMac(label))
        return false;
    const RecipeVerdict verdict = shift_.recipe->checkLabel(label);
    if (verdict.ok())
        return false;
    Faces faces;
    faces.setUseEnglish(!shift_.chinese);
    refuseLabel(RecipeTexts(faces).cause(verdict));
    return true;
}

// The oldest scan: a label given before, on this line or in the history, is asked about first;
// a failed unit scanned again is the same unit, tried again, and asks nothing.
void LineWindow::nextScan() {
    // Scans wait for the shift's recipe: it says which labels a unit may take.
    while (!scans_.empty() && !leaving_ && !loadingShift() && !askingAboutScan_) {
        const QString label = scans_.front();
        const auto mac = scannedMac(label);
        // A slot's code is no label: it says where the next one goes, in the scans' order.
        if (const auto rest = SlotCodeRest(label, settings_.slotPrefix); rest && !mac) {
            takeSlotCode(label, *rest);
            scans_.pop_front();
            continue;
        }
        // A serial number the recipe does not know is refused before any unit takes it; the
        // box waits for the next scan.
        if (refusedByRecipe(label)) {
            scans_.pop_front();
            continue;
        }
        // Refused at once, before any question about it: a label is held already.
        if (const auto plan = chooser_.planScan(mac ? *mac : label, mac.has_value());
            plan.kind == SlotChooser::Action::Kind::Refuse) {
            refuseSecondHeld(label);
            scans_.pop_front();
            continue;
        }
        if (!chooser_.isRetry(mac ? *mac : label)) {
            if (const auto use = labels_.usedBefore(label)) {
                askAboutScan(label, tr("The label %1 was given to a unit on slot %2 at %3. Give "
                                       "it to another unit?")
                                        .arg(label)
                                        .arg(use->slot)
                                        .arg(use->at.time().toString("HH:mm")));
            } else {
                labelLookup_.ask(label); // labelLookedUp goes on
            }
            return;
        }
        giveScan(label);
        scans_.pop_front();
    }
    if (leaving_)
        scans_.clear();
    else if (loadingShift() && !scans_.empty())
        showScanLine(recipe_.problem, false);
}

void LineWindow::labelLookedUp(const QString& label, bool known, const QString& station,
                               const QDateTime& startedAt) {
    // A new shift's recipe asked for since: the scan is looked up again once it is in.
    if (scans_.empty() || scans_.front() != label || leaving_ || loadingShift())
        return;
    if (known) {
        askAboutScan(label, tr("The label %1 was given to a unit on station %2 at %3. Give it to "
                               "another unit?")
                                .arg(label, station.isEmpty() ? tr("(unknown)") : station,
                                     startedAt.toLocalTime().toString("yyyy-MM-dd HH:mm")));
        return;
    }
    // An unreadable history asks nothing: the label is not refused.
    giveScan(label);
    scans_.pop_front();
    nextScan();
}

void LineWindow::askAboutScan(const QString& label, const QString& question) {
    askingAboutScan_ = true;
    // Scans that come meanwhile wait behind this one, in the order they came.
    questions_->ask(question, [this, label](bool yes) {
        askingAboutScan_ = false;
        if (scans_.empty() || scans_.front() != label || leaving_ || loadingShift())
            return;
        if (yes)
            giveScan(label);
        scans_.pop_front();
        nextScan();
    });
}

void LineWindow::giveScan(const QString& label) {
    const auto mac = scannedMac(label);
    act(chooser_.scanned(mac ? *mac : label, mac.has_value()), mac ? UnitWithMac(*mac) : Printer{});
}

void LineWindow::showPendingLabel() {
    showScanLine(!chooser_.held().isEmpty() ? tr("next unit: %1").arg(chooser_.held()) +
                                                  QStringLiteral(" · ") + tr("Esc drops it")
                                            : QString(),
                 false);
}

void LineWindow::unitDone(int n, bool passed, int attempts, qint64 ms) {
    chooser_.finished(n, passed);
    // A unit begun before New shift belongs to the shift it began in, as its rows say.
    // Engineering units are recorded, never counted.
    if (slot(n).unitShift() == shift_.context.shift && counts()) {
        counters_.add(slot(n).unitId(), passed, attempts, ms);
        showCounters();
    }
    if (!passed && host_.beep)
        host_.beep();
}

void LineWindow::showCounters() {
    const bool none = counters_.total() == 0;
    const auto percent = [none](double value) {
        return none ? QStringLiteral("–") : QStringLiteral("%1 %").arg(value, 0, 'f', 1);
    };
    const std::pair<const char*, QString> values[] = {
        {"lblPassed", QString::number(counters_.passed())},
        {"lblFailed", QString::number(counters_.failed())},
        {"lblTotal", QString::number(counters_.total())},
        {"lblYield", percent(counters_.yield().firstPassPercent())},
        {"lblFinalYield", percent(counters_.yield().finalPercent())},
        {"lblMeanTime", none ? QStringLiteral("–") : minutesAndSeconds(counters_.meanUnitMs())},
    };
    for (const auto& [name, value] : values) {
        FittingLabel* figure = figures_[QLatin1String(name)];
        figure->setFullText(value);
        // A screen reader says "Passed: 5", not the caption twice.
        figure->setAccessibleName(
            QStringLiteral("%1: %2").arg(figure->property("caption").toString(), value));
    }
}

void LineWindow::showShiftChoices() {
    QString who = tr("Operator %1 · Station %2 · Retries %3")
                      .arg(shift_.context.operatorName, shift_.context.station)
                      .arg(shift_.retries);
    if (shift_.requireLabel)
        who += tr(" · Label required");
    if (recipe_.gate)
        who += QStringLiteral(" · ") + RecipeSummary(recipe_.gate->approved());
    if (!recipe_.note.isEmpty())
        who += QStringLiteral(" · ") + recipe_.note;
    if (loadingShift())
        who += QStringLiteral(" · ") + recipe_.problem;
    shiftChoices_->setFullText(who);
}

void LineWindow::askNewShift() {
    const QString summary =
        tr("End the shift of %1 since %2? %3 units: %4 passed, %5 failed; first-pass yield %6; "
           "mean per unit %7.")
            .arg(shift_.context.operatorName, shiftSince_->property("since").toString())
            .arg(counters_.total())
            .arg(counters_.passed())
            .arg(counters_.failed())
            .arg(figures_["lblYield"]->fullText(), figures_["lblMeanTime"]->fullText());
    const auto name = host_.endShift
                          ? host_.endShift(this, summary, shift_.context.operatorName,
                                           [this](const QString& scan) { takeScan(scan); })
                          : std::nullopt;
    keepFocus();
    if (!name)
        return;
    if (!name->isEmpty())
        shift_.context.operatorName = *name;
    chooser_.newShift();
    // Each shift takes the recipe as it is then: the newest published, or the file again.
    loadShift();
    // The old verdicts go; each printer stays until it is swapped (Next, plugged in).
    for (auto& s : slots_) {
        const SlotChooser::Phase phase = chooser_.phase(s->number());
        if (phase == SlotChooser::Phase::Empty)
            s->showWaitingHint();
    }
    beginShift();
    keepFocus();
}

void LineWindow::loadShift() {
    heldArrivals_.clear();
    // A question about a scan is asked again under the new shift, if its scan still waits.
    questions_->dropAll();
    askingAboutScan_ = false;
    closeAsked_ = false;
    recipe_ = {};
    recipe_.wanted = !settings_.recipe.isEmpty() || !settings_.recipeFromRecords.isEmpty();
    // What the operator reads while the image is read and the recipe checked or fetched.
    recipe_.problem =
        !settings_.recipeFromRecords.isEmpty()
            ? FetchingRecipeText(settings_.recipeFromRecords)
            : tr("Loading the image %1…").arg(QFileInfo(settings_.imagePath).fileName());
    image_ = Error{};
    imageLine_->setFullText(recipe_.problem);
    recipeAsked_ = recipeFetch_.fetch(settings_);
}

void LineWindow::shiftLoaded(quint64 ticket, const ShiftLoad& loaded) {
    // An answer for a shift ended since is not this shift's.
    if (ticket != recipeAsked_ || leaving_)
        return;
    recipeAsked_ = 0;
    recipe_ = loaded.recipe;
    image_ = loaded.image;
    imageLine_->setFullText(image_ ? SummaryLine(**image_) : image_.error().text);
    applyRecipe();
    for (const auto& [n, unit] : std::exchange(heldArrivals_, {}))
        unitArrived(n, unit);
    nextScan();
    keepFocus();
}

void LineWindow::applyRecipe() {
    // The image is read once for the whole shift: every unit is sent the bytes loaded (and,
    // under a recipe, approved) then, whatever the file holds later.
    shift_.image = image_ ? *image_ : SharedImage();
    shift_.recipe = recipe_.gate;
    // An image that cannot be sent (gone, a device, too large) stops every unit before its
    // link, as a set-up problem of the shift, not as a failed unit.
    shift_.startProblem = !recipe_.problem.isEmpty() || loadingShift() || image_
                              ? recipe_.problem
                              : image_.error().text;
    shift_.requireLabel = labelRequired(settings_, recipe_);
    chooser_.requireLabel(shift_.requireLabel);
    showShiftChoices();
    if (loadingShift())
        return;
    // Slots the recipe leaves out, or a recipe that refuses the shift, show at once; a unit
    // still running finishes under the recipe it began with. A slot whose problem is gone
    // (the recipe before refused, its port is back) waits for its next unit.
    for (auto& s : slots_) {
        if (s->isRunning())
            continue;
        if (!recipe_.problem.isEmpty() || s->outsideRecipe())
            s->checkSetUp();
        else if (chooser_.phase(s->number()) == SlotChooser::Phase::Unusable &&
                 s->checkSetUp().isEmpty())
            s->showWaitingHint();
    }
}

void LineWindow::beginShift() {
    shift_.context.shift = QUuid::createUuid().toString(QUuid::WithoutBraces);
    counters_.reset();
    shiftClock_.start();
    const QString since = QTime::currentTime().toString("HH:mm");
    shiftSince_->setProperty("since", since);
    shiftSince_->setFullText(tr("Shift since %1").arg(since));
    shiftSince_->setToolTipNote(tr("Shift %1").arg(shift_.context.shift));
    showCounters();
    showPendingLabel();
    showNextScan();
    applyRecipe();
}

bool LineWindow::counts() const {
    return !shift_.recipe || shift_.recipe->recipe().mode != RecipeMode::Engineering;
}

void LineWindow::writeShiftReport() {
    history_.finish(); // the shift's last verdicts are in the report
    const Result<QStringList> files = WriteShiftReports(
        history_.filePath(), shift_.context.shift, host_.reportsFolder,
        QDateTime::currentDateTime().addMSecs(-shiftClock_.elapsed()), !shift_.chinese);
    if (!files)
        QMessageBox::warning(this, QStringLiteral("posflash"),
                             tr("The shift report was not written: %1").arg(files.error().text));
    else if (host_.reportWritten)
        host_.reportWritten(this, host_.reportsFolder, *files);
    keepFocus();
}

bool LineWindow::anyRunning() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const auto& s) { return s->isRunning(); });
}

void LineWindow::slotIdle(int n) {
    // Ended without a verdict: the operator's stop.
    if (chooser_.phase(n) == SlotChooser::Phase::Running && !slot(n).isRunning())
        chooser_.stopped(n);
    keepFocus();
    if (leaving_ && !anyRunning())
        close();
}

void LineWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The grid's room: the window less what sits above it, as the last layout placed it.
    const QRect placed = grid_->geometry();
    const QSize room(width(), placed.isEmpty() ? 0 : height() - placed.top());
    const int columns = columnsFor(static_cast<int>(tiles_.size()), room);
    if (columns == columns_)
        return;
    columns_ = columns;
    for (SlotTile* tile : tiles_)
        grid_->removeWidget(tile);
    for (std::size_t i = 0; i < tiles_.size(); ++i)
        grid_->addWidget(tiles_[i], static_cast<int>(i) / columns, static_cast<int>(i) % columns);
}

void LineWindow::closeEvent(QCloseEvent* event) {
    if (!anyRunning()) {
        event->accept();
        return;
    }
    event->ignore();
    if (leaving_ || closeAsked_)
        return;
    const auto updating =
        std::count_if(slots_.begin(), slots_.end(), [](const auto& s) { return s->isRunning(); });
    const QString safely =
        tr("Stop and leave? A frame in flight finishes its tries, then each update stops. A "
           "unit stopped before its last frame stays in its boot loader with part of the image "
           "and needs a new download.");
    const QString question =
        (updating == 1 ? tr("1 unit is updating.") : tr("%1 units are updating.").arg(updating)) +
        QLatin1Char(' ') + safely;
    closeAsked_ = true;
    questions_->ask(question, [this](bool yes) {
        closeAsked_ = false;
        if (yes)
            leaveNow();
    });
}

void LineWindow::leaveNow() {
    if (!leaving_) {
        leaving_ = true;
        questions_->dropAll();
        chooser_.leave();
        labelBox_->setEnabled(false);
        for (auto& s : slots_)
            s->cancel();
    }
    if (!anyRunning())
        close();
}

std::function<bool()> LineWindow::recordsThreads() const {
    if (!records_)
        return [] { return false; };
    return records_->threadsWatch();
}

} // namespace posflash
