#include "app/frm_boot.h"

#include "base/config_paths.h"
#include "ui_frm_boot.h"
#include "unit/download_history.h"

#include <QCloseEvent>
#include <QDebug>
#include <QMouseEvent>
#include <QShortcut>

#include <utility>

namespace posflash {

namespace {

void paintText(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

} // namespace

frmBoot::frmBoot(const UsbInventory& inventory, WindowHost host, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::frmBoot>()), host_(std::move(host)),
      comPorts_(ComPortMapPath()), inventory_(inventory), portModel_(settings_),
      engine_(comPorts_, inventory), presenter_(*this, engine_.faces(), settings_),
      TimeSysTimer_(this) {
    nameComboBoxesByTheirNames();
    ui_->setupUi(this);
    engine_.watchDevices(&hotplug_);
    presenter_.onFinished = [this](const DownloadResult& result) { recordDownload(result); };
    history_.landed() =
        [journal = HistoryStore::journalPathOf(history_.filePath())](const HistoryWrite& write) {
            if (write.place == HistoryWrite::Place::Journal)
                qWarning().noquote() << "The history database is not available, the download was "
                                        "kept in"
                                     << journal << "until the next write:" << write.why.text;
            else if (write.place == HistoryWrite::Place::Nowhere)
                qWarning().noquote()
                    << "The download was not recorded in the history:" << write.why.text;
        };

    // The title and notice lines are dark blue; the bottom row sits on a light grey ground.
    const QColor darkBlue(0x00, 0x00, 0x80);
    paintText(ui_->lblCompanyName, darkBlue);
    paintText(ui_->lblCopyright, darkBlue);
    QPalette ground = ui_->bottomRow->palette();
    ground.setColor(QPalette::Window, QColor(0xE0, 0xE0, 0xE0));
    ui_->bottomRow->setPalette(ground);
    ui_->lblStatus->setMinimumHeight(2 * ui_->lblStatus->fontMetrics().height());

    TimeSysTimer_.setObjectName(QStringLiteral("TimeSysTimer"));
    TimeSysTimer_.setInterval(kClockIntervalMs);

    connectControls();
    startUp();
    TimeSysTimer_.start();
}

frmBoot::~frmBoot() = default;

void frmBoot::connectControls() {
    Ui::frmBoot& ui = *ui_;
    connect(ui.optPortSelect_0, &QRadioButton::clicked, this, [this] { selectPortKind(0); });
    connect(ui.optPortSelect_1, &QRadioButton::clicked, this, [this] { selectPortKind(1); });
    connect(ui.optGetPortModeSel_0, &QRadioButton::clicked, this, [this] { storeComFinding(0); });
    connect(ui.optGetPortModeSel_1, &QRadioButton::clicked, this, [this] { storeComFinding(1); });
    // activated: only the user's choice; the window's own selections set the index directly.
    connect(ui.ComboSerialSelect, &QComboBox::activated, this, &frmBoot::selectComIndex);
    connect(ui.ComboBtl, &QComboBox::activated, this,
            [this](int index) { portModel_.setBaudIndex(index); });
    connect(ui.cmdGetComPort, &QPushButton::clicked, this, &frmBoot::selectPrintersComPort);
    connect(ui.cmdCloseSerialUSB, &QPushButton::clicked, this, &frmBoot::closeSerialPort);

    connect(ui.txtcIPAddr, &QLineEdit::textChanged, this, &frmBoot::storeIpAddress);
    connect(ui.txtcMACAddr, &QLineEdit::textChanged, this, &frmBoot::storeMacAddress);
    connect(ui.btnOpenFile, &QPushButton::clicked, this, &frmBoot::chooseProgramFile);
    connect(ui.btnOpenFontFile, &QPushButton::clicked, this, &frmBoot::chooseFontFile);

    connect(ui.btnDownloadFile, &QPushButton::clicked, this, &frmBoot::downloadProgram);
    connect(ui.btnDownloadFontFile, &QPushButton::clicked, this, &frmBoot::downloadFont);
    connect(ui.cmdCancel, &QPushButton::clicked, this, &frmBoot::cancelDownload);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &frmBoot::cancelDownload);
    connect(ui.cmdAppToBoot, &QPushButton::clicked, this, &frmBoot::sendBootCommand);
    connect(ui.chkFontBootDown, &QCheckBox::toggled, this, &frmBoot::routeChanged);

    // toggled, not clicked: a change by the restore runs the action too.
    connect(ui.chkEnglish, &QCheckBox::toggled, this, &frmBoot::switchFace);
    connect(ui.Check1, &QCheckBox::toggled, this, &frmBoot::enableFontDownload);
    connect(ui.Command2, &QPushButton::clicked, this, &frmBoot::clearDownloadCount);
    // Command4 has no action: it is not connected.
    ui.lblWebAddr->installEventFilter(this);

    connect(&TimeSysTimer_, &QTimer::timeout, this, &frmBoot::showClock);
    connect(&hotplug_, &UsbHotplugMonitor::devicesChanged, this, &frmBoot::refreshLinkIcon);
}

void frmBoot::recordDownload(const DownloadResult& result) {
    if (result.stage == Stage::Start)
        return; // nothing was tried
    history_.record(result);
    if (closing_)
        close();
}

bool frmBoot::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->lblWebAddr && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        openWebAddress();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmBoot::closeEvent(QCloseEvent* event) {
    // Closing acts as the cancel button: the link wait ends at once, a frame in flight finishes
    // its attempts and the closing frames are not cut. The window, greyed, stays until the
    // download has ended and its port is closed, then goes.
    engine_.stopBootCommand();
    if (engine_.isDownloading()) {
        if (!closing_)
            cancelDownload();
        closing_ = true;
        setEnabled(false);
        event->ignore();
        return;
    }
    event->accept();
}

void frmBoot::setStatusLabel(const QString& text) {
    ui_->lblStatus->setText(text);
}

void frmBoot::setStatusPanel(const QString& text) {
    ui_->ShowStatus_0->setText(text);
    // The field may be too narrow for a long text; the tool tip holds all of it.
    ui_->ShowStatus_0->setToolTip(text.trimmed());
}

void frmBoot::showTipsBox(const QString& prompt, int style) {
    host_.tipsBox(this, prompt, style);
}

void frmBoot::setProgressMax(int max) {
    ui_->ProgressBar1->setMaximum(max);
}

void frmBoot::setProgressValue(int value) {
    ui_->ProgressBar1->setValue(value);
}

void frmBoot::setDownloadCount(int count) {
    ui_->lblTotal->setText(QString::number(count));
}

void frmBoot::setDownloadEnabled(bool enabled) {
    ui_->btnDownloadFile->setEnabled(enabled);
}

void frmBoot::setCancelEnabled(bool enabled) {
    // Shown only while a download runs: the way to end a link wait that has no time limit.
    ui_->cmdCancel->setVisible(enabled);
    ui_->cmdCancel->setEnabled(enabled);
}

void frmBoot::setAppToBootEnabled(bool enabled) {
    ui_->cmdAppToBoot->setEnabled(enabled);
}

} // namespace posflash
