// The Chinese and English faces of the main window.
#include "app/frm_boot.h"

#include "app/locale_rules.h"
#include "ui_frm_boot.h"

#include <QFontDatabase>

namespace posflash {

namespace {

constexpr const char* kContext = "frmBoot";

// 宋体 is a Windows font that fontconfig has no alias for; where it is missing, a CJK serif
// face draws the title (the Debian setup installs AR PL UMing).
void substituteMissingSong(const QString& song) {
    if (!QFontDatabase::hasFamily(song) && QFont::substitutes(song).isEmpty())
        QFont::insertSubstitutions(song, {QStringLiteral("AR PL UMing CN"),
                                          QStringLiteral("AR PL UMing TW"),
                                          QStringLiteral("Noto Serif CJK SC")});
}

} // namespace

QString frmBoot::text(const char* english) const {
    return engine_.faces().text(kContext, english);
}

bool frmBoot::IsEnglishMode() {
    // On a system that is not Chinese the box cannot bring the Chinese face.
    const bool english =
        GetSystemLanguage(host_.systemLocale) == kNotChinese || ui_->chkEnglish->isChecked();
    engine_.faces().setUseEnglish(english);
    return english;
}

void frmBoot::ChangeLanguage() {
    const bool english = IsEnglishMode();
    Ui::frmBoot& ui = *ui_;
    ui.Frame3->setTitle(text(QT_TRANSLATE_NOOP("frmBoot", "Port Select")));
    ui.Frame2->setTitle(text(QT_TRANSLATE_NOOP("frmBoot", "Comm settings")));
    ui.Frame1->setTitle(text(QT_TRANSLATE_NOOP("frmBoot", "Network settings")));
    ui.optGetPortModeSel_0->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Automatic")));
    ui.optGetPortModeSel_1->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Manual")));
    ui.cmdGetComPort->setText(text(QT_TRANSLATE_NOOP("frmBoot", "GetPort")));
    ui.btnOpenFile->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Files")));
    ui.cmdAppToBoot->setText(text(QT_TRANSLATE_NOOP("frmBoot", "InBoot")));
    ui.btnDownloadFile->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Download")));

    // Bold and dark blue stay; size and face follow the language.
    const QString song = QStringLiteral("宋体");
    if (!english)
        substituteMissingSong(song);
    QFont title = ui.lblCompanyName->font();
    title.setPointSize(english ? 14 : 16);
    title.setFamily(english ? QStringLiteral("Arial") : song);
    ui.lblCompanyName->setFont(title);
    ui.lblCompanyName->setText(
        text(QT_TRANSLATE_NOOP("frmBoot", "The printer program update V1.2")));
    ui.lblWebTip->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Website:")));
    // Shown while a download runs (it was never visible before), so it speaks the face too.
    ui.cmdCancel->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Stop")));
}

void frmBoot::chkEnglish_Click() {
    // Stored whatever the system language, also where the box cannot change the face.
    const Status written = settings_.WriteIniString(
        QStringLiteral("MSG"), QStringLiteral("Language"),
        ui_->chkEnglish->isChecked() ? QStringLiteral("true") : QStringLiteral("false"));
    ChangeLanguage();
    reportSettingsWrite(written); // in the face just chosen
}

} // namespace posflash
