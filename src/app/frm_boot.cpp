#include "app/frm_boot.h"

#include "base/config_paths.h"
#include "engine/download_record.h"
#include "ui_frm_boot.h"

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
      comPorts_(ComPortMapPath()), inventory_(inventory),
      engine_(*this, settings_, comPorts_, inventory), TimeSysTimer_(this) {
    ui_->setupUi(this);

    // The title and notice lines are dark blue; the bottom row sits on a light grey ground.
    const QColor darkBlue(0x00, 0x00, 0x80);
    paintText(ui_->lblCompanyName, darkBlue);
    paintText(ui_->lblCopyright, darkBlue);
    QPalette ground = ui_->bottomRow->palette();
    ground.setColor(QPalette::Window, QColor(0xE0, 0xE0, 0xE0));
    ui_->bottomRow->setPalette(ground);
    ui_->lblStatus->setMinimumHeight(2 * ui_->lblStatus->fontMetrics().height());
    setMinimumWidth(720);

    TimeSysTimer_.setObjectName(QStringLiteral("TimeSysTimer"));
    TimeSysTimer_.setInterval(kClockIntervalMs);

    connectControls();
    Form_Load();
    TimeSysTimer_.start();
}

frmBoot::~frmBoot() = default;

void frmBoot::connectControls() {
    Ui::frmBoot& ui = *ui_;
    connect(ui.optPortSelect_0, &QRadioButton::clicked, this,
            [this] { engine_.portModel().optPortSelect_Click(0); });
    connect(ui.optPortSelect_1, &QRadioButton::clicked, this,
            [this] { engine_.portModel().optPortSelect_Click(1); });
    connect(ui.optGetPortModeSel_0, &QRadioButton::clicked, this,
            [this] { optGetPortModeSel_Click(0); });
    connect(ui.optGetPortModeSel_1, &QRadioButton::clicked, this,
            [this] { optGetPortModeSel_Click(1); });
    // activated: only the user's choice; the engine's own selections come back through
    // setComIndex and must not run the action again.
    connect(ui.ComboSerialSelect, &QComboBox::activated, this,
            [this](int index) { engine_.portModel().selectComIndex(index); });
    connect(ui.ComboBtl, &QComboBox::activated, this,
            [this](int index) { engine_.portModel().setBaudIndex(index); });
    connect(ui.cmdGetComPort, &QPushButton::clicked, this, &frmBoot::cmdGetComPort_Click);
    connect(ui.cmdCloseSerialUSB, &QPushButton::clicked, this,
            [this] { engine_.portModel().cmdCloseSerialUSB_Click(); });

    connect(ui.txtcIPAddr, &QLineEdit::textChanged, this, &frmBoot::txtcIPAddr_Change);
    connect(ui.txtcMACAddr, &QLineEdit::textChanged, this, &frmBoot::txtcMACAddr_Change);
    connect(ui.btnOpenFile, &QPushButton::clicked, this, &frmBoot::btnOpenFile_Click);
    connect(ui.btnOpenFontFile, &QPushButton::clicked, this, &frmBoot::btnOpenFontFile_Click);

    connect(ui.btnDownloadFile, &QPushButton::clicked, this,
            [this] { engine_.driver().btnDownloadFile_Click(); });
    connect(ui.btnDownloadFontFile, &QPushButton::clicked, this,
            [this] { engine_.driver().btnDownloadFontFile_Click(); });
    connect(ui.cmdCancel, &QPushButton::clicked, this,
            [this] { engine_.driver().cmdCancel_Click(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] { engine_.driver().cmdCancel_Click(); });
    connect(ui.cmdAppToBoot, &QPushButton::clicked, this,
            [this] { engine_.appToBoot().cmdAppToBoot_Click(); });

    // toggled, not clicked: a change by the restore runs the action too.
    connect(ui.chkEnglish, &QCheckBox::toggled, this, &frmBoot::chkEnglish_Click);
    connect(ui.Check1, &QCheckBox::toggled, this, &frmBoot::Check1_Click);
    connect(ui.Command2, &QPushButton::clicked, this, &frmBoot::Command2_Click);
    connect(ui.Command4, &QPushButton::clicked, this, &frmBoot::Command4_Click);
    ui.lblWebAddr->installEventFilter(this);

    connect(&TimeSysTimer_, &QTimer::timeout, this, &frmBoot::TimeSysTimer_Timer);
    connect(&engine_.driver(), &DownloadDriver::downloadFinished, this, &frmBoot::recordDownload);
    connect(&engine_.hotplug(), &UsbHotplugMonitor::devicesChanged, this,
            &frmBoot::refreshLinkIcon);
}

void frmBoot::recordDownload() {
    const HistoryRecord record = RecordOf(engine_.driver().lastSummary(), QStringLiteral("window"),
                                          CurrentTarget(engine_, *this, comPorts_, inventory_));
    if (const Failure failed = history_.add(record))
        qWarning().noquote() << "The download was not recorded in the history:" << failed->text;
}

bool frmBoot::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->lblWebAddr && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lblWebAddr_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmBoot::closeEvent(QCloseEvent* event) {
    // Closing ends the program. A link wait has no time limit, so end every wait: a running
    // download or boot-loader command unwinds, closing its port, and the program quits behind it.
    if (engine_.driver().isRunning())
        engine_.driver().cmdCancel_Click();
    engine_.waits().shutdown();
    event->accept();
}

void frmBoot::setStatusLabel(const QString& text) {
    ui_->lblStatus->setText(text);
}

QString frmBoot::statusLabel() const {
    return ui_->lblStatus->text();
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

void frmBoot::setBootStatusImage(int item) {
    ui_->imgBootStatus_0->setVisible(false);
    ui_->imgBootStatus_1->setVisible(false);
    (item == 1 ? ui_->imgBootStatus_1 : ui_->imgBootStatus_0)->setVisible(true);
}

void frmBoot::setComIndex(int index) {
    ui_->ComboSerialSelect->setCurrentIndex(index);
}

void frmBoot::setPortKindIndex(int index) {
    (index == 0 ? ui_->optPortSelect_0 : ui_->optPortSelect_1)->setChecked(true);
}

QString frmBoot::programFilePath() const {
    return ui_->txtFilePath->text();
}

QString frmBoot::fontFilePath() const {
    return ui_->txtFontFilePath->text();
}

QString frmBoot::ipAddressText() const {
    return ui_->txtcIPAddr->text();
}

QString frmBoot::macAddressText() const {
    return ui_->txtcMACAddr->text();
}

bool frmBoot::fontBootDown() const {
    return ui_->chkFontBootDown->isChecked();
}

} // namespace posflash
