#include "line/line_host.h"

#include <QApplication>
#include <QDesktopServices>
#include <QInputDialog>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

namespace posflash {

LineHost LineHost::system() {
    LineHost host;
    host.beep = [] { QApplication::beep(); };
    host.ask = [](QWidget* parent, const QString& question) {
        // The question quotes a scanned label: plain text, whatever it holds.
        QMessageBox box(QMessageBox::Question, QStringLiteral("posflash"), question,
                        QMessageBox::Yes | QMessageBox::No, parent);
        box.setTextFormat(Qt::PlainText);
        return box.exec() == QMessageBox::Yes;
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
    host.reportsFolder =
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/posflash reports";
    host.reportWritten = [](QWidget* parent, const QString& folder, const QStringList& files) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("posflash"),
                        QApplication::translate("LineHost", "The shift report is in %1:\n%2")
                            .arg(folder, files.join('\n')),
                        QMessageBox::Open | QMessageBox::Close, parent);
        box.setTextFormat(Qt::PlainText);
        if (box.exec() == QMessageBox::Open)
            QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    };
    host.loadRecipe = [](const LineSettings& settings) {
        return LoadShiftRecipe(settings, RecipeSource::station());
    };
    return host;
}

} // namespace posflash
