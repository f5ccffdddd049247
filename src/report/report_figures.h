#pragma once

#include "history/unit_yield.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

namespace posflash {

struct HistoryRecord;

// One unit as a report counts it: its attempts folded into one row. The local history's rows
// are folded here (UnitsOf); the line's records come folded by their view
// (posflash_report_units, docs/records.md), the same way.
struct ReportUnit {
    QString unit;    // the UUID its attempts share, or its one record's
    QString station; // those of its first attempt
    QString shift;
    QString operatorName;
    QString label;
    QString sha256;   // lower-case hex
    QString fileName; // the image's file name, without its folder; empty where not recorded
    QString kind;
    QString port; // USB path, else device node, else IP, else COM number
    QDateTime startedAt;
    qint64 unitMs = 0; // from its first attempt's start to its last attempt's end
    int attempts = 0;
    int failures = 0; // attempts failed or refused
    // Its attempts whose printer received a frame, and those of them that failed. With none it
    // is no unit: every attempt was refused before its first frame (ReachedPrinter), and only
    // its causes count.
    int realAttempts = 0;
    int realFailures = 0;
    bool firstPass = false; // of its attempts that reached the printer
    bool passed = false;
    QString lastCause;
    // The mode of the recipe the unit ran under (its first attempt's): an "engineering" unit
    // stays out of the yields; empty without a recipe.
    QString mode;
    QStringList failureCauses; // the cause of each failed or refused attempt
};

std::vector<ReportUnit> UnitsOf(const std::vector<HistoryRecord>& records);

struct HistoryFilter;

// The units the filter names, judged by their first attempt and their start, as the line's
// view is filtered: a unit whose retry falls into the period still counts where it began.
std::vector<ReportUnit> UnitsMatching(std::vector<ReportUnit> units, const HistoryFilter& filter);

// A yield of one station in one shift, or one day for units outside a shift.
struct GroupYield {
    QString station;
    QString shift; // empty: the units of day that had no shift
    QString day;   // yyyy-MM-dd, local, of the group's first unit
    // The group's first unit: when the shift began at the station and who worked it.
    QDateTime start;
    QString operatorName;
    UnitYield yield;
    int attempts = 0;
};

struct ParetoBar {
    QString cause;
    int count = 0;
    double sharePercent = 0;
    double cumulativePercent = 0;
};

struct UnitTimes {
    QString station;
    int units = 0;
    double medianMs = 0;
    double p95Ms = 0;
};

struct PortFailures {
    QString port;
    int failures = 0;
    int attempts = 0;
    int units = 0;
};

struct ImageUnits {
    QString kind;
    QString sha256;
    QString fileName; // the first unit's that names it; empty where none does
    int units = 0;
};

// Everything a report shows, whatever its format.
struct ReportFigures {
    QDateTime first; // the first unit's start
    QDateTime last;  // the last unit's start
    QStringList stations;
    std::vector<ImageUnits> images; // by kind and hash
    UnitYield total;
    int attempts = 0;
    int engineeringUnits = 0; // left out of every figure below
    // Attempts that ended before their printer received a frame (refusals of the file, the
    // recipe, the label, the port): in the causes, never in the units, the attempts or a port's
    // failures.
    int beforeFirstFrame = 0;
    std::vector<GroupYield> groups;
    std::vector<ParetoBar> pareto; // most first
    std::vector<UnitTimes> times;
    int retriedUnits = 0;  // units that took more than one attempt
    int retryAttempts = 0; // attempts after a unit's first
    int savedByRetry = 0;  // units that failed their first attempt and passed a later one
    // Most failures first, those with failures only. A refusal before the first frame is the
    // image's, the recipe's or the station's, never the port's printer's: it is left out here.
    std::vector<PortFailures> ports;
};

inline constexpr int kReportPorts = 5;

// The figures of the units given, in any order. Times are medians and 95th percentiles by
// linear interpolation, as PostgreSQL's percentile_cont gives them.
ReportFigures FiguresOf(const std::vector<ReportUnit>& units);

// The p-quantile (0..1) of values by linear interpolation between the closest ranks; 0 for none.
double Percentile(std::vector<qint64> values, double p);

} // namespace posflash
