#include "line/slot_tile.h"

#include "base/named_values.h"
#include "line/fitting_label.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace posflash {

namespace {

struct Colours {
    TileState value;
    const char* background;
    const char* text;
};

// Grey, blue, green, red and amber, dark enough for white text where the verdict is read
// from afar; amber keeps dark text, as warning signs do.
constexpr Colours kColours[] = {
    {TileState::Waiting, "#d4d7dd", "#1f2329"},  {TileState::NeedsLabel, "#aeb4bd", "#1f2329"},
    {TileState::Updating, "#1d4fbf", "#ffffff"}, {TileState::Retrying, "#f0a202", "#1f2329"},
    {TileState::Pass, "#16803c", "#ffffff"},     {TileState::Fail, "#b91c1c", "#ffffff"},
    {TileState::SetUp, "#4a3b6b", "#ffffff"},    {TileState::NotInUse, "#eceff1", "#78909c"},
};

Colours coloursOf(TileState state) {
    const Colours* colours = EntryFor(kColours, state);
    return colours ? *colours : kColours[0];
}

// The tile's height below its title, in shares: the verdict and the detail.
constexpr int kWordShare = 6;
constexpr int kDetailShare = 5;

QString clock(qint64 seconds) {
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

SlotTile::SlotTile(int number, const SlotChoice& slot, QWidget* parent) : QFrame(parent) {
    const QString n = QString::number(number);
    setObjectName("tile_" + n);
    setAccessibleName(tr("Slot %1").arg(number));
    // Sixteen tiles fit a 1280 x 720 screen; the texts grow with the room they get.
    setMinimumSize(180, 120);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 8);
    layout->setSpacing(2);

    auto* top = new QHBoxLayout;
    title_ = new FittingLabel("lblTileTitle_" + n, 20, 12, true, false, this);
    title_->setFullText(QStringLiteral("%1  %2").arg(n, SlotTitle(slot)));
    title_->setToolTip(SlotTitle(slot));
    unit_ = new FittingLabel("lblTileUnit_" + n, 20, 12, false, false, this);
    unit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    top->addWidget(title_, 3);
    top->addWidget(unit_, 2);
    // One line at the largest size: the font follows the width alone.
    for (FittingLabel* l : {title_, unit_}) {
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        l->setFixedHeight(QFontMetrics(l->font()).height());
    }
    layout->addLayout(top);

    // Black on yellow, unlike any state's colour: seen from afar on a tile of any state.
    nextScan_ = new FittingLabel("lblTileNextScan_" + n, 22, 11, true, false, this);
    nextScan_->setFullText(tr("next scan →"));
    nextScan_->setAlignment(Qt::AlignCenter);
    nextScan_->setStyleSheet("QLabel { background: #ffd400; color: #111111; border-radius: 6px; }");
    nextScan_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    nextScan_->setFixedHeight(QFontMetrics(nextScan_->font()).height() + 4);
    nextScan_->hide();
    layout->addWidget(nextScan_);

    word_ = new FittingLabel("lblTileState_" + n, 64, 14, true, false, this);
    word_->setAlignment(Qt::AlignCenter);
    layout->addWidget(word_, kWordShare);
    bar_ = new QProgressBar(this);
    bar_->setObjectName("barTile_" + n);
    bar_->setAccessibleName(tr("Slot %1 progress").arg(number));
    bar_->setTextVisible(false);
    bar_->setFixedHeight(10);
    layout->addWidget(bar_);
    // Read from a pace or two away: large while there is room, never below 12 px.
    detail_ = new FittingLabel("lblTileDetail_" + n, 28, 11, false, true, this);
    detail_->setAlignment(Qt::AlignCenter);
    layout->addWidget(detail_, kDetailShare);
    layout_ = layout;

    if (slot.kind == SlotKind::Com) {
        next_ = new QPushButton(tr("Next"), this);
        next_->setObjectName("btnNext_" + n);
        next_->setAccessibleName(tr("Next unit on slot %1").arg(number));
        next_->setMinimumHeight(32);
        QFont f = next_->font();
        f.setPixelSize(20);
        next_->setFont(f);
        // A click leaves the keyboard in the label box, where the scanner types.
        next_->setFocusPolicy(Qt::TabFocus);
        connect(next_, &QPushButton::clicked, this, &SlotTile::nextPressed);
        layout->addWidget(next_);
    } else if (slot.kind == SlotKind::Network) {
        mac_ = new QLineEdit(this);
        mac_->setObjectName("txtMac_" + n);
        mac_->setAccessibleName(tr("MAC of the next unit on slot %1").arg(number));
        mac_->setPlaceholderText(tr("MAC of the next unit, then Enter"));
        mac_->setMinimumHeight(40);
        QFont f = mac_->font();
        f.setPixelSize(18);
        mac_->setFont(f);
        connect(mac_, &QLineEdit::returnPressed, this, [this] {
            const QString typed = mac_->text();
            mac_->clear();
            emit macEntered(typed);
        });
        layout->addWidget(mac_);
    }
    showWaiting({});
}

void SlotTile::setState(TileState state, const QString& word, const QString& detail,
                        const QString& remedy) {
    word_->setFullText(word);
    // The cause and what to do share one size: together they get the tile's room.
    detail_->setFullText(remedy.isEmpty()
                             ? detail
                             : detail + QChar::LineSeparator + tr("What to do: %1").arg(remedy));
    // With something to do, the colour says the verdict and the words get the room.
    const bool wordy = !remedy.isEmpty() || state == TileState::SetUp;
    layout_->setStretchFactor(word_, wordy ? 1 : kWordShare);
    // A style sheet costs a relayout of the tile: set only when the colour changes.
    if (state == state_ && !styleSheet().isEmpty())
        return;
    state_ = state;
    bar_->setVisible(state == TileState::Updating || state == TileState::Retrying);
    const Colours c = coloursOf(state);
    setStyleSheet(QStringLiteral("QFrame#%3 { background: %1; border-radius: 10px; }"
                                 "QLabel { color: %2; background: transparent; }"
                                 "QProgressBar { background: rgba(255,255,255,0.35); border: 0;"
                                 " border-radius: 5px; }"
                                 "QProgressBar::chunk { background: %2; border-radius: 5px; }")
                      .arg(QLatin1String(c.background), QLatin1String(c.text), objectName()));
    if (next_)
        // A slot the recipe leaves out takes no unit: its Next would promise one.
        next_->setEnabled(state != TileState::Updating && state != TileState::Retrying &&
                          state != TileState::NotInUse);
}

void SlotTile::showWaiting(const QString& hint) {
    setState(TileState::Waiting, tr("WAITING"), hint);
}

void SlotTile::showNeedsLabel() {
    setState(TileState::NeedsLabel, tr("SCAN LABEL"),
             tr("A unit is here: scan its label to start."));
}

void SlotTile::showUpdating(int percent, int secondsLeft, int attempt, int attempts) {
    QString detail = secondsLeft < 0 ? tr("starting…") : tr("%1 left").arg(clock(secondsLeft));
    if (attempt > 1)
        detail = tr("attempt %1 of %2 · ").arg(attempt).arg(attempts) + detail;
    setState(attempt > 1 ? TileState::Retrying : TileState::Updating,
             QStringLiteral("%1 %").arg(percent), detail);
    bar_->setRange(0, 100);
    bar_->setValue(percent);
}

void SlotTile::showRetrying(int nextAttempt, int attempts, const QString& cause) {
    setState(TileState::Retrying, tr("RETRY"),
             tr("attempt %1 of %2 next: %3").arg(nextAttempt).arg(attempts).arg(cause));
    bar_->setValue(0);
}

void SlotTile::showFrameRetry(const QString& text) {
    detail_->setFullText(text);
}

void SlotTile::showSetUp(const QString& problem) {
    setState(TileState::SetUp, tr("SET-UP"), problem);
}

void SlotTile::showNotInUse(const QString& why) {
    setState(TileState::NotInUse, tr("NOT IN USE"), why);
}

void SlotTile::showPass(qint64 ms, int attempts) {
    QString detail = tr("done in %1").arg(clock((ms + 500) / 1000));
    if (attempts > 1)
        detail += tr(" · at attempt %1").arg(attempts);
    setState(TileState::Pass, tr("PASS"), detail);
}

void SlotTile::showFail(const QString& cause, const QString& remedy) {
    setState(TileState::Fail, tr("FAIL"), cause, remedy);
}

void SlotTile::showUnit(const QString& unit) {
    unit_->setFullText(unit);
}

void SlotTile::showStopping() {
    detail_->setFullText(tr("stopping safely…"));
}

void SlotTile::showNextScan(bool marked) {
    nextScan_->setVisible(marked);
    setAccessibleDescription(marked ? tr("The next scan goes to this slot.") : QString());
}

bool SlotTile::nextScanShown() const {
    return !nextScan_->isHidden();
}

void SlotTile::mousePressEvent(QMouseEvent* event) {
    QFrame::mousePressEvent(event);
    emit clicked();
}

QString SlotTile::stateText() const {
    return word_->fullText();
}

QString SlotTile::detailText() const {
    return detail_->fullText();
}

} // namespace posflash
