#pragma once

#include "base/printer.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace posflash {

// What the line's records say of one printer (a MAC address or a USB serial within a station)
// for one recipe's name.
struct PrinterStanding {
    QString station;
    // Known by its MAC (upper case with '-') on the network, else its USB serial number.
    Printer printer;
    // Its last completed image, whatever the recipe; empty: none.
    QString imageSha256;
    QDateTime imageAt;
    // Its last row under the recipe's name; lastOutcome empty: it has none.
    QString lastOutcome;
    QString lastCause;
    QDateTime lastAt;
    int failures = 0; // its failed rows under the name, over every run
    QDateTime seenAt; // its last row of any kind
};

enum class PrinterState {
    Current, // its last completed image is the recipe's
    Older,   // it ran under the name, and its last completed image is another
    Failed,  // its last row under the name did not complete, none completed since
    Pending, // its last row under the name sent nothing and a later run may do it
    Unknown, // no row under the name
};

// "current", "older", "failed", "pending", "unknown".
const char* StateName(PrinterState state);
// The causes a rollout leaves a printer pending with: outside-window, not-answering, busy.
bool IsPendingCause(const QString& cause);
PrinterState StateOf(const PrinterStanding& printer, const QString& imageSha256);

struct ComplianceCounts {
    int printers = 0;
    int current = 0;
    int older = 0;
    int failed = 0;
    int pending = 0;
    int unknown = 0;
    // Printers with any failed row under the name, over every run: a rollout's budget, which a
    // later success never gives back.
    int failures = 0;

    void add(PrinterState state, bool everFailed);
    double percentCurrent() const { return printers > 0 ? 100.0 * current / printers : 0; }
};

// The image a printer must run to be current: the newest published recipe of the name, or,
// where none is published, the image of the newest completed rows under the name.
struct ComplianceTarget {
    QString recipe;
    std::optional<qint64> sequence;
    QString sha256; // lower-case hex
    bool published = true;
};

struct PrinterVerdict {
    PrinterStanding printer;
    PrinterState state = PrinterState::Unknown;
};

struct ComplianceFigures {
    ComplianceTarget target;
    ComplianceCounts totals;
    std::vector<std::pair<QString, ComplianceCounts>> stores; // by station, in its order
    std::vector<PrinterVerdict> printers;                     // by station, then address

    // Every printer that is not current.
    std::vector<const PrinterVerdict*> stragglers() const;
};

// When a printer's state was decided: its last row under the name, its later completed image
// for an older one, the last row seen for one never under the name.
QDateTime DecidedAt(const PrinterVerdict& verdict);

ComplianceFigures ComplianceOf(const ComplianceTarget& target,
                               std::vector<PrinterStanding> printers);

// The report as report --compliance --format json writes it (docs/records.md), and as CSV, one
// row a printer.
QJsonObject ComplianceJson(const ComplianceFigures& figures);
QString ComplianceCsv(const ComplianceFigures& figures);

} // namespace posflash
