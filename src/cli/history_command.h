#pragma once

#include "history/history_store.h"

class QCommandLineParser;

namespace posflash {

class TerminalOutput;

// posflash-cli history [--json] [--limit N]: the recorded downloads, newest first, as a table
// or as JSON Lines. Returns the exit code.
int HistoryCommand(const QCommandLineParser& args, TerminalOutput& err);

// Records a download of this tool; a history that cannot be written costs a warning line on
// standard error and nothing else.
void RecordDownload(const HistoryRecord& record, TerminalOutput& err);

} // namespace posflash
