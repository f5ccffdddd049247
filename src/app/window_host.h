#pragma once

#include "app/host_readiness.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <vector>

class QWidget;

namespace posflash {

// What the window asks of the desktop and the host. The defaults talk to the real ones; a
// test replaces any of them so that no modal dialog blocks it and nothing depends on the
// machine it runs on.
struct WindowHost {
    // The system default locale: decides the face and the clock's formats.
    QLocale systemLocale;
    // Where config.ini, the mirror of the settings, is written.
    QString applicationFolder;
    // The file-open dialog: the chosen path, or empty when cancelled.
    std::function<QString(QWidget* parent, const QString& filter)> chooseFile;
    // The modal "Tips" box; style 1 asks for OK and Cancel.
    std::function<void(QWidget* parent, const QString& prompt, int style)> tipsBox;
    // Opens a web address in the user's browser.
    std::function<void(const QUrl& url)> openUrl;
    // The device nodes of the serial ports the host reports.
    std::function<QStringList()> serialPorts;
    // What this machine lacks for the tool; asked at the first start.
    std::function<std::vector<HostShortcoming>()> firstStartChecks;

    // The real desktop and host.
    static WindowHost system();
};

} // namespace posflash
