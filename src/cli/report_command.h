#pragma once

#include <QByteArray>

#include <vector>

namespace posflash {

class ProcessSignals;

// Whether the command line asks for posflash-cli report, read with report's own options.
bool IsReportCommand(const std::vector<QByteArray>& arguments);

// posflash-cli report: a shift report of the history, or with --central of the line's records,
// as HTML, PDF or CSV. Its own application (the PDF draws text, which needs Qt's GUI part,
// offscreen). Returns the exit code.
int ReportMain(int argc, char** argv, ProcessSignals& stopSignals);

} // namespace posflash
