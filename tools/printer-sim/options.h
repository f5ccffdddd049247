#pragma once

#include "printer-sim/faults.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace posflash::sim {

struct Options {
    QString link;   // symlink to the serial line, replaced if it exists
    QString out;    // received image, written at each final frame
    QString report; // JSON report, rewritten at each final frame and on exit
    bool once = false;
    Faults faults;
};

struct ParsedCommandLine {
    std::optional<Options> options; // set when the line was good
    bool help = false;
    QString error;
};

// The arguments after the program name. Nothing is opened or checked on disk here.
ParsedCommandLine ParseCommandLine(const QStringList& arguments);
QString UsageText();

} // namespace posflash::sim
