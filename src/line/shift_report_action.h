#pragma once

#include "base/error.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>

class QMessageBox;
class QWidget;

namespace posflash {

// Writes the report of one shift of the history at historyPath, as HTML and PDF, into folder
// (made when missing): shift-report-<start>-<shift>.html and .pdf. Returns the files' paths.
Result<QStringList> WriteShiftReports(const QString& historyPath, const QString& shift,
                                      const QString& folder, const QDateTime& shiftStart,
                                      bool english);

// The message that a shift report was written: its folder once and its files by name, with
// buttons in the face's words (Open folder, which opens it, and Close, the default). The
// window's translation is the one installed.
std::unique_ptr<QMessageBox> ShiftReportMessage(QWidget* parent, const QString& folder,
                                                const QStringList& files);

} // namespace posflash
