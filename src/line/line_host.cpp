#include "line/line_host.h"

#include "line/scan_burst.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

namespace posflash {

LineHost LineHost::system() {
    LineHost host;
    host.beep = [] { QApplication::beep(); };
    host.endShift =
        [](QWidget* parent, const QString& summary, const QString& operatorName,
           const std::function<void(const QString&)>& scanned) -> std::optional<QString> {
        QInputDialog dialog(parent);
        dialog.setWindowTitle(QApplication::translate("LineHost", "New shift"));
        dialog.setLabelText(summary + "\n\n" +
                            QApplication::translate("LineHost", "Operator of the next shift:"));
        dialog.setTextValue(operatorName);
        // The name box exists once the dialog is set up as a text dialog.
        if (auto* box = dialog.findChild<QLineEdit*>())
            new ScanBurstGuard(box, scanned);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue().trimmed();
    };
    host.reportsFolder =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/posflash reports";
    host.reportWritten = [](QWidget* parent, const QString& folder, const QStringList& files) {
        // The folder once, then the files' names: their paths would say it again each time.
        QStringList names;
        for (const QString& file : files)
            names << QFileInfo(file).fileName();
        QMessageBox box(QMessageBox::Information, QStringLiteral("posflash"),
                        QApplication::translate("LineHost", "The shift report is in %1:\n%2")
                            .arg(folder, names.join('\n')),
                        QMessageBox::Open | QMessageBox::Close, parent);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::Close);
        if (box.exec() == QMessageBox::Open)
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    };
    host.loadRecipe = [](const LineSettings& settings) {
        return LoadShiftRecipe(settings, RecipeSource::station());
    };
    return host;
}

} // namespace posflash
