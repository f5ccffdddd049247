#pragma once

#include "cli/cli_options.h"

#include "history/history_store.h"
#include "history/text_forms.h"

namespace posflash {

class TerminalOutput;

// posflash-cli history [--json] [--limit N]: the recorded downloads, newest first, as a table
// or as JSON Lines (docs/history.schema.json). Returns the exit code.
int HistoryCommand(const CliArguments& args, TerminalOutput& err);

// history's table of records, fitted to a terminal of columns columns (0: not a terminal).
QString HistoryTable(const std::vector<HistoryRecord>& records, bool english, bool central,
                     int columns);

// The filters of history and report (--operator, --station, --label, --outcome, --shift,
// --since, --until, and --sha256 where the command has it), or why one is not valid.
Result<HistoryFilter> ReadHistoryFilter(const CliArguments& args);
// Whether any condition of the filter is set.
bool HistoryFiltered(const HistoryFilter& filter);

// Says on standard error where a record went when it was not the database: the journal
// (named, to be added at the next write) or nowhere.
void ReportHistoryWrite(const HistoryWrite& write, const QString& journalPath, TerminalOutput& err);

} // namespace posflash
