// The load step of the main window: port lists, settings file, first start, restore.
#include "app/frm_boot.h"

#include "app/stored_number.h"
#include "base/config_paths.h"
#include "base/settings_file_read.h"
#include "ui_frm_boot.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

namespace posflash {

namespace {
constexpr int kDefaultComIndex = 2;  // COM3
constexpr int kDefaultBaudIndex = 4; // "19200"
} // namespace

void frmBoot::startUp() {
    // The random block of the start frame is seeded per download by the engine, and the serial
    // control's line settings are fixed in its class: nothing to do here for either.
    engine_.closeSerialPort();
    fillPortLists();
    imgBootStatusSelect(0);
    InitConfigFile();
    GetLastIniFileParameter();

    ChangeLanguage();
    reportStartupProblems();
}

void frmBoot::fillPortLists() {
    QComboBox* comList = ui_->ComboSerialSelect;
    for (int number = 1; number <= PortModel::kComCount; ++number)
        comList->addItem(QStringLiteral("COM%1").arg(number));
    // Every serial device the host reports gets its COM number now, so the list can show it.
    // A device the map cannot number is simply left out of the list.
    for (const QString& node : host_.serialPorts())
        (void)comPorts_.assign(node);
    for (const auto& [number, node] : comPorts_.entries())
        if (number >= 1 && number <= comList->count())
            comList->setItemData(number - 1, node, Qt::ToolTipRole);
    // No settings file yet, so the list's action stores nothing.
    selectComIndex(0);

    ui_->ComboBtl->addItems(PortModel::BaudList());
    ui_->ComboBtl->setCurrentIndex(-1);
    portModel_.setBaudIndex(-1);
}

void frmBoot::InitConfigFile() {
    settings_.setFileName(SettingsFilePath());
    presenter_.onSettingsWrite = [this](const Status& written) { reportSettingsWrite(written); };
    if (settings_.GetIniString(QStringLiteral("MSG"), QStringLiteral("first")).isEmpty()) {
        // Instead of installing controls, a first start looks for what this host lacks.
        shortcomings_ = host_.firstStartChecks();
        if (const Status written = settings_.WriteIniString(
                QStringLiteral("MSG"), QStringLiteral("first"), QStringLiteral("false"));
            !written)
            settingsError_ = written.error().text;
    }
    mirrorSettings();
}

void frmBoot::mirrorSettings() {
    // config.ini is a copy for the user to look at; an installed, read-only program folder
    // simply has none.
    const QString source = settings_.fileName();
    const QFileInfo folder(host_.applicationFolder);
    if (!QFileInfo::exists(source) || host_.applicationFolder.isEmpty() || !folder.isDir() ||
        !folder.isWritable())
        return;
    const QString target = QDir(host_.applicationFolder).filePath(QStringLiteral("config.ini"));
    // Read with the settings store's own checks: a FIFO or device in its place must neither
    // block the start nor be copied without end.
    const SettingsFileContents in = ReadSettingsFile(source);
    if (in.status == SettingsFileContents::Reading::Missing)
        return;
    if (in.status == SettingsFileContents::Reading::Refused) {
        mirrorError_ = in.error.text;
        return;
    }
    const QByteArray& content = in.bytes;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(content) != content.size() || !out.commit())
        mirrorError_ = QStringLiteral("%1: %2").arg(target, out.errorString());
}

void frmBoot::GetLastIniFileParameter() {
    Ui::frmBoot& ui = *ui_;
    const auto msg = [this](const char* key) {
        return settings_.GetIniString(QStringLiteral("MSG"), QString::fromLatin1(key));
    };

    // Only the exact word checks the box; a change runs its click action.
    ui.chkEnglish->setChecked(msg("Language") == QLatin1String("true"));
    presenter_.setDownloadTotal(StoredNumber(msg("total"), std::numeric_limits<int>::max(), 0));
    ui.txtFilePath->setText(msg("filepath"));
    ui.txtFontFilePath->setText(msg("fontfilepath"));
    if (const QString ip = msg("ip"); !ip.isEmpty())
        ui.txtcIPAddr->setText(ip);
    if (const QString mac = msg("mac"); !mac.isEmpty())
        ui.txtcMACAddr->setText(mac);

    const QString com = settings_.GetIniString(QStringLiteral("SERIAL"), QStringLiteral("COM"));
    selectComIndex(StoredNumber(com, PortModel::kComCount, kDefaultComIndex));

    const QString baud =
        settings_.GetIniString(QStringLiteral("SERIAL"), QStringLiteral("ComboBtl"));
    const int baudIndex =
        StoredNumber(baud, static_cast<int>(PortModel::BaudList().size()), kDefaultBaudIndex);
    ui.ComboBtl->setCurrentIndex(baudIndex);
    portModel_.setBaudIndex(baudIndex);

    const QString port =
        settings_.GetIniString(QStringLiteral("PORT"), QStringLiteral("ComboPort"));
    selectPortKind(StoredNumber(port, 2, 0));

    const QString mode = settings_.GetIniString(QStringLiteral("PORT"), QStringLiteral("AutoGet"));
    const int modeIndex = StoredNumber(mode, 2, 0);
    (modeIndex == 0 ? ui.optGetPortModeSel_0 : ui.optGetPortModeSel_1)->setChecked(true);
    storeComFinding(modeIndex);
}

void frmBoot::reportStartupProblems() {
    QStringList lines;
    for (const HostShortcoming missing : shortcomings_)
        lines << HostShortcomingText(missing, engine_.faces());
    if (!settingsError_.isEmpty())
        lines << text(QT_TRANSLATE_NOOP("frmBoot", "settings not saved: %1")).arg(settingsError_);
    if (!mirrorError_.isEmpty())
        lines << text(QT_TRANSLATE_NOOP("frmBoot", "config.ini not written: %1")).arg(mirrorError_);
    if (!lines.isEmpty())
        SetStatusText(text(QT_TRANSLATE_NOOP("frmBoot", "Check the setup: %1"))
                          .arg(lines.join(QStringLiteral("; "))));
}

void frmBoot::reportSettingsWrite(const Status& written) {
    // Every keystroke in an address box writes: the same reason is shown only once.
    if (written || written.error().text == settingsError_)
        return;
    settingsError_ = written.error().text;
    const QString failure =
        text(QT_TRANSLATE_NOOP("frmBoot", "Check the setup: %1"))
            .arg(text(QT_TRANSLATE_NOOP("frmBoot", "settings not saved: %1")).arg(settingsError_));
    const QString shown = ui_->ShowStatus_0->text().trimmed();
    SetStatusText(shown.isEmpty() ? failure : shown + QStringLiteral("; ") + failure);
}

void frmBoot::storeIpAddress() {
    reportSettingsWrite(settings_.WriteIniString(QStringLiteral("MSG"), QStringLiteral("ip"),
                                                 ui_->txtcIPAddr->text()));
}

void frmBoot::storeMacAddress() {
    reportSettingsWrite(settings_.WriteIniString(QStringLiteral("MSG"), QStringLiteral("mac"),
                                                 ui_->txtcMACAddr->text()));
}

} // namespace posflash
