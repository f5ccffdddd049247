#include "line/line_host.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace posflash {

LineHost LineHost::system() {
    LineHost host;
    host.beep = [] { QApplication::beep(); };
    host.ask = [](QWidget* parent, const QString& question) {
        return QMessageBox::question(parent, QStringLiteral("posflash"), question) ==
               QMessageBox::Yes;
    };
    host.endShift = [](QWidget* parent, const QString& summary,
                       const QString& operatorName) -> std::optional<QString> {
        bool ok = false;
        const QString name = QInputDialog::getText(
            parent, QApplication::translate("LineHost", "New shift"),
            summary + "\n\n" + QApplication::translate("LineHost", "Operator of the next shift:"),
            QLineEdit::Normal, operatorName, &ok);
        if (!ok)
            return std::nullopt;
        return name.trimmed();
    };
    return host;
}

} // namespace posflash
