#pragma once

#include "base/error.h"
#include "report/report_document.h"
#include "report/report_figures.h"

#include <QString>

#include <optional>
#include <vector>

namespace posflash {

class ReportTexts;

enum class ReportFormat { Html, Pdf, Csv };

// "html", "pdf", "csv"; nothing for another word.
std::optional<ReportFormat> ReportFormatOf(const QString& word);

// The report of the units in the format asked, written whole to path or not at all. The PDF
// needs a QGuiApplication.
Status WriteShiftReport(const std::vector<ReportUnit>& units, ReportFormat format,
                        const QString& path, const ReportSource& source, const ReportTexts& texts);

// The same, as the text it would write (HTML or CSV; empty for the PDF).
QString ShiftReportText(const std::vector<ReportUnit>& units, ReportFormat format,
                        const ReportSource& source, const ReportTexts& texts);

} // namespace posflash
