#pragma once

#include "history/history_store.h"

class QCommandLineParser;

namespace posflash {

class TerminalOutput;

// posflash-cli history [--json] [--limit N]: the recorded downloads, newest first, as a table
// or as JSON Lines (docs/history.schema.json). Returns the exit code.
int HistoryCommand(const QCommandLineParser& args, TerminalOutput& err);

// Says on standard error where a record went when it was not the database: the journal
// (named, to be added at the next write) or nowhere.
void ReportHistoryWrite(const HistoryWrite& write, const QString& journalPath, TerminalOutput& err);

// A file name's bytes as one line of text: UTF-8 as it is, a backslash, a control character
// or a byte that is no UTF-8 escaped (\\, \n, \t, \r, \xNN).
QString EscapedName(const QByteArray& name);

} // namespace posflash
