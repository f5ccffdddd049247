#pragma once

#include "history/history_store.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace posflash {

struct ReportFigures;
class ReportTexts;

// Where a report's figures came from and what they were asked for; its head says it in words.
struct ReportSource {
    QString from; // the history file, or the line's records address as shown
    HistoryFilter filter;
    bool central = false; // from the line's records
    QDateTime made;
};

struct ReportTable {
    QStringList head;
    std::vector<QStringList> rows;
};

struct ReportSection {
    QString title;
    QString svg; // a chart, or empty
    ReportTable table;
    QString note;
};

// The report laid out once, its words in the language asked; the HTML and the PDF draw it.
struct ReportDocument {
    QString lang; // "en" or "zh"
    QString title;
    std::vector<std::pair<QString, QString>> facts; // what, value: the period, stations, images
    std::vector<std::pair<QString, QString>> tiles; // the headline figures
    std::vector<ReportSection> sections;
};

ReportDocument DocumentOf(const ReportFigures& figures, const ReportSource& source,
                          const ReportTexts& texts);

// One file of HTML that needs nothing else: style and charts inline, no script, for A4.
QString HtmlOf(const ReportDocument& document);

} // namespace posflash
