#pragma once

#include "cli/cli_options.h"
#include "history/history_store.h"
#include "records/records_address.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace posflash {

class BackgroundSync;
class ProcessSignals;
class TerminalOutput;

// The records address: --records, else POSFLASH_RECORDS; empty when neither is set.
QString RecordsAddressText(const CliArguments& args);

// The line's records --central reads: --records, else POSFLASH_RECORDS; neither is an error
// that says so.
Result<RecordsAddress> CentralAddress(const CliArguments& args);

// Says once when --records carries a password: any user sees a command line in the process
// list. The password itself is never written.
void WarnOfPasswordInArguments(const CliArguments& args, TerminalOutput& err);

// posflash-cli records init|sync: makes or migrates the line's schema, or sends this station's
// unsent history once (for cron or a systemd timer). Returns the exit code.
// threadsLeft: where the process learns of a pass's thread that may outlive the command.
int RecordsCommand(const CliArguments& args, ProcessSignals& stops, TerminalOutput& out,
                   TerminalOutput& err, std::vector<std::function<bool()>>& threadsLeft);

// history --central: the line's records, as the local history gives its own.
Result<std::vector<HistoryRecord>> CentralHistory(const CliArguments& args, int limit);

// The sync a download runs beside itself when an address is set: a pass from the start (the
// rows of earlier runs), and one more for this run's rows when it goes, waiting at most 2 s for
// it, and not at all once the line's server was found unreachable or refusing, or has left
// the login unanswered for a second. A refusal is
// said once, as a warning; the rows stay local.
class DownloadRecords {
public:
    // threadsLeft: where the process learns of a pass's thread that may outlive this.
    DownloadRecords(const CliArguments& args, TerminalOutput& err,
                    std::vector<std::function<bool()>>& threadsLeft);
    ~DownloadRecords();
    DownloadRecords(const DownloadRecords&) = delete;
    DownloadRecords& operator=(const DownloadRecords&) = delete;

    static constexpr int kExitWaitMs = 2000;
    // A server that has not taken the login after this long by the end is not waited for.
    static constexpr int kUnansweredPatienceMs = 1000;

private:
    TerminalOutput& err_;
    std::unique_ptr<BackgroundSync> sync_;
    bool warned_ = false;
};

} // namespace posflash
