#pragma once

#include <QString>

namespace posflash {

struct ReportFigures;
class ReportTexts;

// The report's charts as SVG, drawn once: the HTML holds them inline, the PDF renders the same
// text with Qt SVG. They name no namespace (an HTML page's inline SVG needs none, and the page
// must hold no address); SvgDocument() adds it for a renderer that reads them alone.
// Each cause's bar is a <rect class="cause-bar" data-cause="CODE">.
QString ParetoSvg(const ReportFigures& figures, const ReportTexts& texts);
// First-pass and final yield of each station and shift, side by side.
QString YieldSvg(const ReportFigures& figures, const ReportTexts& texts);

QByteArray SvgDocument(const QString& svg);

// text with &, <, > and " written as entities, for HTML and SVG alike.
QString Escaped(const QString& text);

} // namespace posflash
