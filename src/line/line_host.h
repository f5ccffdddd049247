#pragma once

#include "history/history_store.h"

#include <QString>

#include <functional>

class QWidget;

namespace posflash {

// What the production window asks of the desktop, replaceable in tests: the audible signal of
// a failure and the yes/no questions.
struct LineHost {
    std::function<void()> beep;
    // True for yes.
    std::function<bool(QWidget* parent, const QString& question)> ask;
    QString historyPath = HistoryStore::defaultPath();
    QString station; // empty: the host's name
    // After the records server was found offline, the next sync comes after this (doubling).
    int recordsRetryFirstMs = 30000;

    // QApplication::beep() and a QMessageBox.
    static LineHost system();
};

} // namespace posflash
