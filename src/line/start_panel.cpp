#include "line/start_panel.h"

#include "base/retry_limit.h"
#include "line/image_summary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QSysInfo>

namespace posflash {

namespace {

const QRegularExpression kListSeparators(QStringLiteral("[,;\\s]+"));

QStringList listOf(const QLineEdit* edit) {
    return edit->text().split(kListSeparators, Qt::SkipEmptyParts);
}

template <class W>
W* named(W* widget, const char* name, const QString& accessible) {
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(accessible);
    return widget;
}

} // namespace

StartPanel::StartPanel(const LineSettings& s, QWidget* parent, RecipeLoader loadRecipe)
    : QDialog(parent), loadRecipe_(std::move(loadRecipe)) {
    setObjectName("StartPanel");
    setWindowTitle(tr("posflash (production line): start a shift"));
    auto* form = new QFormLayout;

    image_ = named(new QLineEdit(s.imagePath, this), "txtImage", tr("Image file"));
    auto* browse = named(new QPushButton(tr("Browse…"), this), "btnBrowse", tr("Choose the image"));
    font_ = named(new QCheckBox(tr("Font"), this), "chkFont", tr("The image is a font"));
    font_->setChecked(s.font);
    auto* imageRow = new QHBoxLayout;
    imageRow->addWidget(image_, 1);
    imageRow->addWidget(browse);
    imageRow->addWidget(font_);
    form->addRow(tr("Image"), imageRow);
    summary_ = new QLabel(this);
    summary_->setObjectName("lblImageSummary");
    form->addRow(QString(), summary_);

    ports_ = named(new QLineEdit(s.ports.join(", "), this), "txtPorts", tr("Serial port slots"));
    ports_->setPlaceholderText(tr("/dev/ttyUSB0, COM3, …"));
    form->addRow(tr("Serial ports"), ports_);
    usbPaths_ =
        named(new QLineEdit(s.usbPaths.join(", "), this), "txtUsbPaths", tr("USB hot-plug slots"));
    usbPaths_->setPlaceholderText(tr("1-1.1, 1-1.2, …"));
    form->addRow(tr("USB paths"), usbPaths_);
    serialPrefix_ = named(new QLineEdit(s.serialPrefix, this), "txtSerialPrefix",
                          tr("Serial number prefix of USB printers"));
    form->addRow(tr("Serial prefix"), serialPrefix_);
    QStringList network;
    for (const NetworkSlotChoice& slot : s.network)
        network << (slot.mac.isEmpty() ? slot.ip : slot.ip + '/' + slot.mac);
    network_ =
        named(new QLineEdit(network.join(", "), this), "txtNetwork", tr("Network printer slots"));
    network_->setPlaceholderText(tr("192.168.1.50/00-11-22-33-44-55, 192.168.1.51, …"));
    form->addRow(tr("Network printers"), network_);

    retries_ = named(new QSpinBox(this), "spinRetries", tr("Retries after a failure"));
    retries_->setRange(0, kMostRetries);
    retries_->setValue(s.retries);
    form->addRow(tr("Retries"), retries_);
    requireLabel_ = named(new QCheckBox(tr("A unit waits for its scanned label"), this),
                          "chkRequireLabel", tr("Label required"));
    requireLabel_->setChecked(s.requireLabel);
    form->addRow(tr("Label"), requireLabel_);
    operator_ = named(new QLineEdit(s.operatorName, this), "txtOperator", tr("Operator's name"));
    form->addRow(tr("Operator"), operator_);
    station_ = named(new QLineEdit(s.station, this), "txtStation", tr("Station name"));
    station_->setPlaceholderText(QSysInfo::machineHostName());
    form->addRow(tr("Station"), station_);
    // Each language in its own words, so that either reader finds theirs.
    language_ = named(new QComboBox(this), "cmbLanguage", tr("Language"));
    language_->addItem(QStringLiteral("English"), QStringLiteral("en"));
    language_->addItem(QStringLiteral("中文"), QStringLiteral("zh"));
    language_->setCurrentIndex(LineSpeaksChinese(s) ? 1 : 0);
    form->addRow(tr("Language"), language_);
    records_ = s.records;
    slotPrefix_ = s.slotPrefix;
    recipe_ = named(new QLineEdit(s.recipe, this), "txtRecipe", tr("Line recipe"));
    recipe_->setPlaceholderText(tr("none: any image (a signed recipe enforces one)"));
    recipeFromRecords_ = s.recipeFromRecords;
    if (!recipeFromRecords_.isEmpty())
        recipe_->setEnabled(false); // the recipe comes from the line's records by its name
    form->addRow(tr("Recipe"), recipe_);
    recipeLine_ = new QLabel(this);
    recipeLine_->setObjectName("lblRecipe");
    recipeLine_->setWordWrap(true);
    form->addRow(QString(), recipeLine_);
    connect(recipe_, &QLineEdit::editingFinished, this, qOverload<>(&StartPanel::showRecipe));
    connect(&fetch_, &RecipeFetch::fetched, this, &StartPanel::recipeFetched);

    problem_ = new QLabel(this);
    problem_->setObjectName("lblProblem");
    problem_->setStyleSheet("color: #b91c1c;");
    // A long refusal wraps: Start and Cancel stay on the screen.
    problem_->setWordWrap(true);
    for (QLabel* line : {summary_, recipeLine_, problem_})
        line->setTextFormat(Qt::PlainText);
    auto* buttons = new QDialogButtonBox(this);
    auto* start = start_ =
        named(buttons->addButton(tr("Start shift"), QDialogButtonBox::AcceptRole), "btnStart",
              tr("Start the shift"));
    auto* quit = named(buttons->addButton(QDialogButtonBox::Cancel), "btnQuit", tr("Cancel"));
    start->setDefault(true);
    disconnect(buttons, nullptr, this, nullptr);
    connect(start, &QPushButton::clicked, this, &StartPanel::tryStart);
    connect(quit, &QPushButton::clicked, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getOpenFileName(this, tr("Image"), image_->text());
        if (!chosen.isEmpty()) {
            image_->setText(chosen);
            showImage();
        }
    });
    connect(language_, &QComboBox::currentIndexChanged, this, [this] { done(kLanguageChosen); });
    connect(image_, &QLineEdit::editingFinished, this, &StartPanel::showImage);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
    showImage();
}

LineSettings StartPanel::settings() const {
    LineSettings s;
    s.imagePath = image_->text().trimmed();
    s.font = font_->isChecked();
    s.ports = listOf(ports_);
    s.usbPaths = listOf(usbPaths_);
    s.serialPrefix = serialPrefix_->text().trimmed();
    for (const QString& entry : listOf(network_)) {
        const QStringList parts = entry.split(QLatin1Char('/'));
        s.network.push_back({parts[0], parts.value(1)});
    }
    s.retries = retries_->value();
    s.requireLabel = requireLabel_->isChecked();
    s.operatorName = operator_->text().trimmed();
    s.station = station_->text().trimmed();
    s.language = language_->currentData().toString();
    s.records = records_;
    s.slotPrefix = slotPrefix_;
    s.recipe = recipe_->text().trimmed();
    s.recipeFromRecords = recipeFromRecords_;
    return s;
}

void StartPanel::showImage() {
    // Bounded by the download's own limits: a device or a huge file is refused, not read.
    shownImage_ = LoadShiftImage(image_->text().trimmed(), font_->isChecked());
    if (image_->text().trimmed().isEmpty()) {
        summary_->clear();
        return;
    }
    summary_->setText(shownImage_ ? SummaryLine(**shownImage_) : shownImage_.error().text);
    showRecipe();
    // A problem said before stays only while it is still true.
    if (!problem_->text().isEmpty())
        problem_->setText(StartProblem(settings()));
}

QString StartPanel::showRecipe() {
    const LineSettings s = settings();
    if (!loadRecipe_ || (s.recipe.isEmpty() && s.recipeFromRecords.isEmpty())) {
        recipeProblem_.clear();
        recipeLine_->clear();
        requireLabel_->setEnabled(true);
        return {};
    }
    if (s.recipeFromRecords.isEmpty())
        return showRecipe(loadRecipe_(s, shownImage_));
    // The records server may be away for its whole connect timeout: the panel answers
    // meanwhile. The image is checked too, so a new image asks again.
    const std::pair<QString, bool> image{s.imagePath, s.font};
    if (fetchedFor_ == image)
        return recipeProblem_;
    fetchedFor_ = image;
    recipeProblem_ = FetchingRecipeText(s.recipeFromRecords);
    recipeLine_->setStyleSheet(QString());
    recipeLine_->setText(recipeProblem_);
    start_->setEnabled(false);
    asked_ = fetch_.fetch(s);
    return recipeProblem_;
}

void StartPanel::recipeFetched(quint64 ticket, const ShiftLoad& loaded) {
    if (ticket != asked_)
        return; // the image changed since it was asked
    start_->setEnabled(true);
    showRecipe(loaded.recipe);
    // A problem said before stays only while it is still true.
    if (!problem_->text().isEmpty())
        problem_->setText(StartProblem(settings()));
}

QString StartPanel::showRecipe(const ShiftRecipe& recipe) {
    recipeProblem_ = recipe.gate ? QString() : recipe.problem;
    // A recipe that requires a label decides the box: ticked, and not the operator's to untick.
    const bool required = recipe.gate && recipe.gate->recipe().labelRequired;
    if (required)
        requireLabel_->setChecked(true);
    requireLabel_->setEnabled(!required);
    if (!recipe.gate) {
        recipeLine_->setStyleSheet("color: #b91c1c;");
        recipeLine_->setText(recipe.problem);
        return recipe.problem;
    }
    recipeLine_->setStyleSheet(QString());
    recipeLine_->setText(recipe.note.isEmpty()
                             ? RecipeSummary(recipe.gate->approved())
                             : RecipeSummary(recipe.gate->approved()) + '\n' + recipe.note);
    return {};
}

void StartPanel::tryStart() {
    showImage();
    QString problem = StartProblem(settings());
    // A wrong image is refused here, in words; a recipe that does not verify is refused in its
    // own line, above, said once.
    problem_->setText(problem);
    if (problem.isEmpty() && recipeProblem_.isEmpty())
        accept();
}

} // namespace posflash
