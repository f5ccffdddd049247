#pragma once

#include "line/line_recipe.h"

#include "line/line_settings.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace posflash {

// The shift's choices before the production window opens: the image, the slots, the retries,
// whether a label is required and the operator. Controls: txtImage, btnBrowse, chkFont,
// lblImageSummary, txtPorts, txtUsbPaths, txtSerialPrefix, txtNetwork, spinRetries,
// chkRequireLabel, txtOperator, txtRecipe, lblRecipe, lblProblem, btnStart. With a recipe,
// lblRecipe shows its name, mode, signer and expiry, or why it refuses the shift, and the shift
// does not start while it refuses.
class StartPanel : public QDialog {
    Q_OBJECT
public:
    // loadRecipe: the recipe of the choices, as the window will load it; none: no recipe.
    explicit StartPanel(const LineSettings& settings, QWidget* parent = nullptr,
                        std::function<ShiftRecipe(const LineSettings&)> loadRecipe = {});

    LineSettings settings() const;

    // The result of exec() when the operator chose another language: the caller installs it
    // and opens the panel again, with settings().
    static constexpr int kLanguageChosen = 2;

private:
    void showImage();
    // The recipe as the choices stand: its line, or its refusal; the refusal, or empty.
    QString showRecipe();
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
    QLineEdit* recipe_;
    QString recipeFromRecords_;
    QLabel* recipeLine_;
    QString recipeProblem_; // the recipe's refusal as last shown
    std::function<ShiftRecipe(const LineSettings&)> loadRecipe_;
    QLabel* problem_;
};

} // namespace posflash
