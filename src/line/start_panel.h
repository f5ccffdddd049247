#pragma once

#include "line/line_recipe.h"
#include "line/line_settings.h"
#include "line/recipe_fetch.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace posflash {

// The shift's choices before the production window opens: the image, the slots, the retries,
// whether a label is required and the operator. Controls: txtImage, btnBrowse, chkFont,
// lblImageSummary, txtPorts, txtUsbPaths, txtSerialPrefix, txtNetwork, spinRetries,
// chkRequireLabel, txtOperator, txtRecipe, lblRecipe, lblProblem, btnStart. With a recipe,
// lblRecipe shows its name, mode, signer and expiry, or why it refuses the shift, and the shift
// does not start while it refuses. A recipe from the line's records is fetched on a thread, Start
// waiting for it.
class StartPanel : public QDialog {
    Q_OBJECT
public:
    // loadRecipe: the recipe of the choices, as the window will load it; none: no recipe.
    explicit StartPanel(const LineSettings& settings, QWidget* parent = nullptr,
                        RecipeLoader loadRecipe = {});

    LineSettings settings() const;

    // The result of exec() when the operator chose another language: the caller installs it
    // and opens the panel again, with settings().
    static constexpr int kLanguageChosen = 2;

private:
    void showImage();
    // The recipe as the choices stand: its line, or its refusal; the refusal, or empty.
    QString showRecipe();
    QString showRecipe(const ShiftRecipe& recipe);
    void recipeFetched(quint64 ticket, const ShiftLoad& loaded);
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
    QString slotPrefix_; // kept in line.ini, not chosen here
    QLineEdit* recipe_;
    QString recipeFromRecords_;
    QLabel* recipeLine_;
    QString recipeProblem_;                    // the recipe's refusal as last shown
    Result<SharedImage> shownImage_ = Error{}; // the image as showImage() last read it
    RecipeLoader loadRecipe_;
    RecipeFetch fetch_{loadRecipe_};
    quint64 asked_ = 0;                                  // the fetch whose answer is shown next
    std::optional<std::pair<QString, bool>> fetchedFor_; // its image and whether a font
    QLabel* problem_;
    QPushButton* start_;
};

} // namespace posflash
