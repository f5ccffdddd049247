#pragma once

#include "base/error.h"

#include <QString>

namespace posflash {

struct ReportDocument;

// The report as an A4 PDF through QPdfWriter: the same sections as the HTML, the charts from
// the same SVG. Needs a QGuiApplication (fonts).
Status WritePdf(const ReportDocument& document, const QString& path);

} // namespace posflash
