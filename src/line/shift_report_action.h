#pragma once

#include "base/error.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace posflash {

// Writes the report of one shift of the history at historyPath, as HTML and PDF, into folder
// (made when missing): shift-report-<start>-<shift>.html and .pdf. Returns the files' paths.
Result<QStringList> WriteShiftReports(const QString& historyPath, const QString& shift,
                                      const QString& folder, const QDateTime& shiftStart,
                                      bool english);

} // namespace posflash
