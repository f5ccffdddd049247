#include "app/window_host.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QSerialPortInfo>

namespace posflash {

namespace {

// The Tips box's button code: its low four bits choose the set of buttons, 0 or any
// unknown code meaning OK alone.
QMessageBox::StandardButtons buttonsOf(int style) {
    switch (style & 0x0F) {
    case 1:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case 2:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case 3:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case 4:
        return QMessageBox::Yes | QMessageBox::No;
    case 5:
        return QMessageBox::Retry | QMessageBox::Cancel;
    default:
        return QMessageBox::Ok;
    }
}

} // namespace

WindowHost WindowHost::system() {
    WindowHost host;
    host.systemLocale = QLocale::system();
    host.applicationFolder = QCoreApplication::applicationDirPath();
    host.chooseFile = [](QWidget* parent, const QString& filter) {
        return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
    };
    host.tipsBox = [](QWidget* parent, const QString& prompt, int style) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Tips"), prompt, buttonsOf(style),
                        parent);
        box.exec();
    };
    host.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    host.serialPorts = [] {
        QStringList nodes;
        for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
            nodes << port.systemLocation();
        return nodes;
    };
    host.firstStartChecks = [] { return CheckHostReadiness(); };
    return host;
}

} // namespace posflash
