#pragma once

#include "line/line_settings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace posflash {

// The shift's choices before the production window opens: the image, the slots, the retries,
// whether a label is required and the operator. Controls: txtImage, btnBrowse, chkFont,
// lblImageSummary, txtPorts, txtUsbPaths, txtSerialPrefix, txtNetwork, spinRetries,
// chkRequireLabel, txtOperator, lblProblem, btnStart.
class StartPanel : public QDialog {
    Q_OBJECT
public:
    explicit StartPanel(const LineSettings& settings, QWidget* parent = nullptr);

    LineSettings settings() const;

    // The result of exec() when the operator chose another language: the caller installs it
    // and opens the panel again, with settings().
    static constexpr int kLanguageChosen = 2;

private:
    void showImage();
    void tryStart();

    QLineEdit* image_;
    QCheckBox* font_;
    QLabel* summary_;
    QLineEdit* ports_;
    QLineEdit* usbPaths_;
    QLineEdit* serialPrefix_;
    QLineEdit* network_;
    QSpinBox* retries_;
    QCheckBox* requireLabel_;
    QLineEdit* operator_;
    QLineEdit* station_;
    QComboBox* language_;
    QString records_;
    QLabel* problem_;
};

} // namespace posflash
