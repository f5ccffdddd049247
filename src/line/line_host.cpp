#include "line/line_host.h"

#include "line/scan_burst.h"
#include "line/shift_report_action.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>

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
        ShiftReportMessage(parent, folder, files)->exec();
    };
    host.loadRecipe = [](const LineSettings& settings, const Result<SharedImage>& image) {
        return LoadShiftRecipe(settings, image, RecipeSource::station());
    };
    return host;
}

} // namespace posflash
