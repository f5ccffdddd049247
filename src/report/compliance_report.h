#pragma once

#include "report/compliance_figures.h"
#include "report/report_document.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace posflash {

class ReportTexts;

enum class ComplianceFormat { Html, Csv, Json };

// "html", "csv", "json"; nothing for another word.
std::optional<ComplianceFormat> ComplianceFormatOf(const QString& word);

// The compliance report laid out as the shift report is, in the language asked: from is the
// line's records address as shown.
ReportDocument ComplianceDocumentOf(const ComplianceFigures& figures, const QString& from,
                                    const QDateTime& made, const ReportTexts& texts);

// The report as the text of the format asked.
QString ComplianceReportText(const ComplianceFigures& figures, ComplianceFormat format,
                             const QString& from, const QDateTime& made, const ReportTexts& texts);

} // namespace posflash
