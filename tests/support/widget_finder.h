#pragma once

#include <QAccessible>
#include <QMap>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace posflash::testing {

// The control named name under top; one not there fails the test with its name, not a crash.
template <class T = QWidget>
T& FindControl(const QWidget* top, const QString& name) {
    T* found = top ? top->findChild<T*>(name) : nullptr;
    if (found == nullptr)
        throw std::runtime_error("no control named " + name.toStdString());
    return *found;
}

// Each control under top that isControl picks has a spoken name, unique in its scopeOf; check
// sees each with its name. Returns how many.
inline int ExpectSpokenNames(QWidget& top, const std::function<bool(QWidget*)>& isControl,
                             const std::function<QWidget*(QWidget*)>& scopeOf,
                             const std::function<void(QWidget*, const QString&)>& check = {}) {
    QMap<QWidget*, QStringList> namesByScope;
    int controls = 0;
    for (QWidget* widget : top.findChildren<QWidget*>()) {
        if (!isControl(widget))
            continue;
        SCOPED_TRACE(widget->objectName().toStdString());
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        EXPECT_NE(accessible, nullptr);
        if (accessible == nullptr)
            continue;
        const QString name = accessible->text(QAccessible::Name).trimmed();
        EXPECT_FALSE(name.isEmpty());
        QStringList& names = namesByScope[scopeOf(widget)];
        EXPECT_FALSE(names.contains(name)) << name.toStdString();
        names << name;
        if (check)
            check(widget, name);
        ++controls;
    }
    return controls;
}

} // namespace posflash::testing
