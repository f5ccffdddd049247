// The small actions of the main window and the choosing of files.
#include "app/frm_boot.h"

#include "app/locale_rules.h"
#include "download/download_texts.h"
#include "protocol/frames.h"
#include "protocol/image_file.h"
#include "ui_frm_boot.h"

#include <QDateTime>

namespace posflash {

namespace {
constexpr const char* kBinFilter = "File(bin) (*.bin)"; // one entry: files ending in .bin
} // namespace

void frmBoot::showClock() {
    const QDateTime now = QDateTime::currentDateTime();
    ui_->ShowStatus_1->setText(QLatin1Char(' ') + ClockTimeText(host_.systemLocale, now.time()));
    ui_->ShowStatus_2->setText(QLatin1Char(' ') + ClockDateText(host_.systemLocale, now.date()));
    refreshLinkIcon();
}

void frmBoot::refreshLinkIcon() {
    imgBootStatusSelect(engine_.printerPresent() ? 1 : 0);
}

void frmBoot::clearDownloadCount() {
    // Only the count since start; DownloadTotal and the stored "total" keep counting.
    presenter_.clearDownloadNum();
    ui_->lblTotal->setText(QStringLiteral("0"));
}

void frmBoot::enableFontDownload() {
    ui_->btnDownloadFontFile->setEnabled(ui_->Check1->isChecked());
}

void frmBoot::openWebAddress() {
    host_.openUrl(QUrl(QStringLiteral("http://") + ui_->lblWebAddr->text()));
}

void frmBoot::chooseProgramFile() {
    const QString path = host_.chooseFile(this, QString::fromLatin1(kBinFilter));
    if (path.isEmpty())
        return;
    // The size is checked before anything is read: a huge file must not exhaust memory.
    const Result<Bytes> image = LoadImageFile(path, MaxImageBytes(kProgramFrameDataSize));
    if (!image.ok() || !CheckBinImageValid(*image)) {
        const bool tooLarge =
            !image && image.error().is(ErrorDomain::Image, image_error::kTooLarge);
        showTipsBox(tooLarge ? texts::imageTooLarge(engine_.faces())
                             : texts::fileOpenError(engine_.faces()),
                    1);
        return;
    }
    ui_->txtFilePath->setText(path);
    reportSettingsWrite(
        settings_.WriteIniString(QStringLiteral("MSG"), QStringLiteral("filepath"), path));
}

void frmBoot::chooseFontFile() {
    // A font file has no required form.
    const QString path = host_.chooseFile(this, QString::fromLatin1(kBinFilter));
    if (path.isEmpty())
        return;
    ui_->txtFontFilePath->setText(path);
    reportSettingsWrite(
        settings_.WriteIniString(QStringLiteral("MSG"), QStringLiteral("fontfilepath"), path));
}

void frmBoot::storeComFinding(int index) {
    // Only stored: automatic and manual behave alike.
    reportSettingsWrite(settings_.WriteIniString(QStringLiteral("PORT"), QStringLiteral("AutoGet"),
                                                 QString::number(index)));
}

} // namespace posflash
