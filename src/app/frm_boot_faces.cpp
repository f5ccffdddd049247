// The Chinese and English faces of the main window.
#include "app/frm_boot.h"

#include "app/locale_rules.h"
#include "ui_frm_boot.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QFontDatabase>
#include <QLayout>

namespace posflash {

namespace {

constexpr const char* kContext = "frmBoot";

// 宋体 is a Windows font that fontconfig has no alias for; where it is missing, a CJK serif
// face draws the title (the Debian setup installs AR PL UMing).
void substituteMissingSong(const QString& song) {
    if (!QFontDatabase::hasFamily(song) && QFont::substitutes(song).isEmpty())
        QFont::insertSubstitutions(song, {QStringLiteral("AR PL UMing CN"),
                                          QStringLiteral("AR PL UMing TW"),
                                          QStringLiteral("Noto Serif CJK SC")});
}

// On Linux Qt names a combo box by its current text and leaves its label to relations; the COM
// list has no visible label, so Orca would speak "COM3" alone. This one speaks its accessible
// name and keeps the list and the open action of Qt's own.
class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value ||
            (t == QAccessible::Name && box()->accessibleName().isEmpty()))
            return box()->currentText();
        return QAccessibleWidget::text(t);
    }
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == box()->view() ? 0 : -1;
    }
    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction())
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* namedComboBoxFactory(const QString&, QObject* object) {
    auto* box = qobject_cast<QComboBox*>(object);
    return box != nullptr && !box->isEditable() ? new NamedComboBox(box) : nullptr;
}

} // namespace

void frmBoot::nameComboBoxesByTheirNames() {
    // Qt keeps interface factories for the whole process and caches an interface once made:
    // installed once, before the first window has a control a screen reader could ask about.
    static const bool installed = (QAccessible::installFactory(namedComboBoxFactory), true);
    (void)installed;
}

QString frmBoot::text(const char* english) const {
    return engine_.faces().text(kContext, english);
}

bool frmBoot::IsEnglishMode() const {
    // On a system that is not Chinese the box cannot bring the Chinese face.
    return GetSystemLanguage(host_.systemLocale) == kNotChinese || ui_->chkEnglish->isChecked();
}

void frmBoot::ChangeLanguage() {
    const bool english = IsEnglishMode();
    // The engine's texts (the status line's, the messages') follow the face shown.
    engine_.faces().setUseEnglish(english);
    Ui::frmBoot& ui = *ui_;
    ui.Frame3->setTitle(text(QT_TRANSLATE_NOOP("frmBoot", "Port Select")));
    ui.Frame2->setTitle(text(QT_TRANSLATE_NOOP("frmBoot", "Comm settings")));
    ui.Frame1->setTitle(text(QT_TRANSLATE_NOOP("frmBoot", "Network settings")));
    ui.optGetPortModeSel_0->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Automatic")));
    ui.optGetPortModeSel_1->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Manual")));
    ui.cmdGetComPort->setText(text(QT_TRANSLATE_NOOP("frmBoot", "GetPort")));
    ui.btnOpenFile->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Files")));
    ui.cmdAppToBoot->setText(text(QT_TRANSLATE_NOOP("frmBoot", "InBoot")));
    ui.btnDownloadFile->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Download")));

    // Bold and dark blue stay; size and face follow the language.
    const QString song = QStringLiteral("宋体");
    if (!english)
        substituteMissingSong(song);
    QFont title = ui.lblCompanyName->font();
    title.setPointSize(english ? 14 : 16);
    title.setFamily(english ? QStringLiteral("Arial") : song);
    ui.lblCompanyName->setFont(title);
    ui.lblCompanyName->setText(
        text(QT_TRANSLATE_NOOP("frmBoot", "The printer program update V1.2")));
    ui.lblWebTip->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Website:")));
    // Shown while a download runs (it was never visible before), so it speaks the face too.
    ui.cmdCancel->setText(text(QT_TRANSLATE_NOOP("frmBoot", "Stop")));

    // What a screen reader speaks for controls with no caption of their own (the IP and MAC
    // boxes take their labels'); a combo box would otherwise be named by its value.
    const auto name = [this](QWidget* control, const char* english) {
        control->setAccessibleName(text(english));
    };
    name(ui.ComboSerialSelect, QT_TRANSLATE_NOOP("frmBoot", "COM port"));
    name(ui.ComboBtl, QT_TRANSLATE_NOOP("frmBoot", "Baud rate"));
    name(ui.imgBootStatus_0, QT_TRANSLATE_NOOP("frmBoot", "Printer port not found"));
    name(ui.imgBootStatus_1, QT_TRANSLATE_NOOP("frmBoot", "Printer port found"));
    name(ui.txtFilePath, QT_TRANSLATE_NOOP("frmBoot", "Program file path"));
    name(ui.txtFontFilePath, QT_TRANSLATE_NOOP("frmBoot", "Font file path"));
    name(ui.ProgressBar1, QT_TRANSLATE_NOOP("frmBoot", "Download progress"));
    name(ui.Image1, QT_TRANSLATE_NOOP("frmBoot", "Program icon"));

    // Captions differ in width between the faces; below the preferred size of the face in
    // force, the group boxes would squeeze their contents and the status text would be cut.
    layout()->activate();
    // The status panel ignores its text's width in the layout; 720 leaves it room for a line.
    setMinimumSize(layout()->sizeHint().expandedTo(QSize(720, 0)));
}

void frmBoot::switchFace() {
    // Stored whatever the system language, also where the box cannot change the face.
    const Status written = settings_.WriteIniString(
        QStringLiteral("MSG"), QStringLiteral("Language"),
        ui_->chkEnglish->isChecked() ? QStringLiteral("true") : QStringLiteral("false"));
    ChangeLanguage();
    reportSettingsWrite(written); // in the face just chosen
}

} // namespace posflash
