#pragma once

#include <QString>

namespace posflash {

struct GroupYield;
struct ImageUnits;
struct ReportFigures;
struct ReportSource;
class ReportTexts;

// How a report names what its rows only hold as codes, in the report's words.

// "program fw-2.1.bin (cca455e7)"; by its hash alone where no row names its file.
QString ImageName(const ImageUnits& image);
// "shift 2026-12-08 06:00, Li Wei" by its start and operator; "day 2026-12-08" outside a shift.
QString ShiftName(const GroupYield& group, const ReportTexts& texts);
// What was asked, in words: "the line's records, station 3, 1–7 December 2026"; empty for a
// report of the whole local history. Shifts and images are named as in the tables.
QString FilterWords(const ReportSource& source, const ReportFigures& figures,
                    const ReportTexts& texts);

} // namespace posflash
