#pragma once

#include "line/line_recipe.h"

#include "history/history_store.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace posflash {

// What the production window asks of the desktop, replaceable in tests: the audible signal of
// a failure and the dialogs of a shift's end. Its yes/no questions are the window's own.
struct LineHost {
    std::function<void()> beep;
    // Whether to end the shift (summary says how it went), and who works the next one
    // (operatorName proposed): the name, or nothing to keep the shift. A scan that comes while
    // it asks goes to scanned, never into the name.
    std::function<std::optional<QString>(QWidget* parent, const QString& summary,
                                         const QString& operatorName,
                                         const std::function<void(const QString&)>& scanned)>
        endShift;
    // A shift report was written (files, in folder); the system host offers to open the folder.
    std::function<void(QWidget* parent, const QString& folder, const QStringList& files)>
        reportWritten;
    // Where the shift reports go: ~/Documents/posflash reports (the XDG documents folder).
    QString reportsFolder;
    QString historyPath = HistoryStore::defaultPath();
    QString station; // empty: the host's name
    // After the records server was found offline, the next sync comes after this (doubling).
    int recordsRetryFirstMs = 30000;
    // The line recipe of a shift's settings, at each shift's start; none: no recipe.
    RecipeLoader loadRecipe;

    // QApplication::beep(), the desktop's dialogs and file manager.
    static LineHost system();
};

} // namespace posflash
