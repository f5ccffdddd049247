#include "window_fixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

namespace posflash::testing {
namespace {

// What a screen reader would speak as the control's value, besides the accessible Value text.
QString valueOf(QWidget* widget) {
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText();
    if (auto* bar = qobject_cast<QProgressBar*>(widget))
        return QString::number(bar->value());
    return {};
}

bool isControl(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) // images only; text labels speak their text
        return !label->pixmap().isNull();
    return qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
           qobject_cast<QLineEdit*>(widget) || qobject_cast<QProgressBar*>(widget);
}

class AccessibilityTest : public WindowTest {};

TEST_F(AccessibilityTest, EveryControlHasANameThatIsNotItsValueAndIsUniqueInItsGroup) {
    start();
    for (const bool english : {false, true}) {
        SCOPED_TRACE(english ? "English face" : "Chinese face");
        if (control<QCheckBox>("chkEnglish").isChecked() != english)
            control<QCheckBox>("chkEnglish").click();
        const auto shown = [this](QWidget* widget) {
            const bool networkBox = widget->objectName() == "txtcIPAddr" ||
                                    widget->objectName() == "txtcMACAddr"; // disabled, unfocusable
            return isControl(widget) && (widget->isVisibleTo(window.get()) || networkBox);
        };
        const auto groupOf = [this](QWidget* widget) {
            QWidget* group = widget->parentWidget();
            while (group != window.get() && qobject_cast<QGroupBox*>(group) == nullptr)
                group = group->parentWidget();
            return group;
        };
        EXPECT_GT(ExpectSpokenNames(*window, shown, groupOf,
                                    [](QWidget* widget, const QString& name) {
                                        EXPECT_NE(name,
                                                  QAccessible::queryAccessibleInterface(widget)
                                                      ->text(QAccessible::Value)
                                                      .trimmed());
                                        EXPECT_NE(name, valueOf(widget).trimmed());
                                    }),
                  3);
    }
}

} // namespace
} // namespace posflash::testing
