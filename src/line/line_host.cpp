#include "line/line_host.h"

#include <QApplication>
#include <QMessageBox>

namespace posflash {

LineHost LineHost::system() {
    LineHost host;
    host.beep = [] { QApplication::beep(); };
    host.ask = [](QWidget* parent, const QString& question) {
        return QMessageBox::question(parent, QStringLiteral("posflash"), question) ==
               QMessageBox::Yes;
    };
    return host;
}

} // namespace posflash
