#include "window_fixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
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
        QMap<QWidget*, QStringList> namesByGroup;
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            const bool networkBox = widget->objectName() == "txtcIPAddr" ||
                                    widget->objectName() == "txtcMACAddr"; // disabled, unfocusable
            if (!isControl(widget) || (!widget->isVisibleTo(window.get()) && !networkBox))
                continue;
            SCOPED_TRACE(widget->objectName().toStdString());
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
            ASSERT_NE(accessible, nullptr);
            const QString name = accessible->text(QAccessible::Name).trimmed();
            EXPECT_FALSE(name.isEmpty());
            EXPECT_NE(name, accessible->text(QAccessible::Value).trimmed());
            EXPECT_NE(name, valueOf(widget).trimmed());
            QWidget* group = widget->parentWidget();
            while (group != window.get() && qobject_cast<QGroupBox*>(group) == nullptr)
                group = group->parentWidget();
            EXPECT_FALSE(namesByGroup[group].contains(name)) << name.toStdString();
            namesByGroup[group] << name;
        }
    }
}

} // namespace
} // namespace posflash::testing
