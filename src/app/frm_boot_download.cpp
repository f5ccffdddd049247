// The port choice, the downloads and the boot-loader command of the main window: each control
// becomes a call on the engine; the presenter shows what the download does.
#include "app/frm_boot.h"

#include "ui_frm_boot.h"

namespace posflash {

void frmBoot::SetStatusText(const QString& text) {
    setStatusPanel(QStringLiteral(" ") + text);
}

void frmBoot::imgBootStatusSelect(int item) {
    ui_->imgBootStatus_0->setVisible(false);
    ui_->imgBootStatus_1->setVisible(false);
    (item == 1 ? ui_->imgBootStatus_1 : ui_->imgBootStatus_0)->setVisible(true);
}

void frmBoot::selectPortKind(int index) {
    const auto status = portModel_.selectPortKind(index, ui_->txtcIPAddr->text());
    if (!status)
        return;
    engine_.closeSerialPort();
    (index == 0 ? ui_->optPortSelect_0 : ui_->optPortSelect_1)->setChecked(true);
    SetStatusText(*status);
    reportSettingsWrite(portModel_.lastWrite());
    routeChanged();
}

void frmBoot::selectComIndex(int index) {
    const auto status = portModel_.selectComIndex(index);
    if (!status)
        return;
    ui_->ComboSerialSelect->setCurrentIndex(index);
    engine_.selectComNumber(portModel_.comNumber());
    SetStatusText(*status);
    reportSettingsWrite(portModel_.lastWrite());
}

void frmBoot::closeSerialPort() {
    engine_.closeSerialPort();
}

void frmBoot::selectPrintersComPort() {
    // Nothing is shown when no printer is found. The list's action runs only for a real
    // change, so a repeated press leaves the open port and the settings file alone.
    const auto number = engine_.printerComNumber();
    if (number && *number - 1 != portModel_.comIndex())
        selectComIndex(*number - 1);
}

void frmBoot::routeChanged() {
    engine_.setRoute(RouteFor(portModel_.portKind() != PortKindValue::Com, runningKind_,
                              ui_->chkFontBootDown->isChecked()));
}

void frmBoot::downloadProgram() {
    startDownload(ImageKind::Program);
}

void frmBoot::downloadFont() {
    startDownload(ImageKind::Font);
}

void frmBoot::startDownload(ImageKind kind) {
    // A second download inside the running one would share its frames and its port.
    if (engine_.isDownloading() || closing_)
        return;
    runningKind_ = kind;
    DownloadJob job;
    job.kind = kind;
    job.imagePath =
        kind == ImageKind::Font ? ui_->txtFontFilePath->text() : ui_->txtFilePath->text();
    job.route = RouteFor(portModel_.portKind() != PortKindValue::Com, kind,
                         ui_->chkFontBootDown->isChecked());
    job.printer.comNumber = portModel_.comNumber();
    job.printer.ip = ui_->txtcIPAddr->text();
    job.printer.mac = ui_->txtcMACAddr->text();
    // The BOOTP answer names the program file, whichever file is sent.
    engine_.download(job, presenter_, ui_->txtFilePath->text());
}

void frmBoot::cancelDownload() {
    if (!engine_.isDownloading())
        return;
    presenter_.showCancelled();
    engine_.cancel();
}

void frmBoot::sendBootCommand() {
    // Refused while a download runs, whose port the command would take; a second press while
    // the first runs does nothing.
    if (engine_.isBusy())
        return;
    presenter_.NowStatus(QStringLiteral("Enter the download status"));
    setDownloadEnabled(false);
    setAppToBootEnabled(false);
    InbootJob job;
    job.route = portModel_.portKind() != PortKindValue::Com ? Route::Network : Route::Com;
    job.printer.ip = ui_->txtcIPAddr->text();
    engine_.sendBootCommand(job, bootCommandEvents_);
}

void frmBoot::bootCommandEvent(const DownloadEvent& event) {
    // The command's write to the USB device leaves the status panel blank, as every send does.
    if (event.kind == DownloadEvent::Kind::FrameSent)
        SetStatusText(QString());
    else if (event.kind == DownloadEvent::Kind::Finished)
        bootCommandFinished();
}

void frmBoot::bootCommandFinished() {
    setAppToBootEnabled(true);
    setDownloadEnabled(true);
}

} // namespace posflash
