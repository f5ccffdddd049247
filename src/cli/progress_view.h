#pragma once

#include "cli/progress_estimate.h"
#include "cli/progress_gate.h"
#include "cli/redraw_pacer.h"
#include "fleet/cause_texts.h"
#include "fleet/multi_download.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <vector>

namespace posflash {

class Faces;
class TerminalOutput;

// How a view writes: to a terminal (redrawn in place, coloured when asked) or as plain lines.
struct ViewStyle {
    bool terminal = false;
    bool colour = false;
    int columns = 0;       // of the terminal; 0 when unknown
    int linkTimeoutMs = 0; // the job's limit, for the texts that name it
    qint64 imageBytes = 0; // the image's size; 0 when unknown
    int frameBytes = 0;    // image bytes per data frame
};

// A download to several printers as people read it. On a terminal: one line per printer,
// redrawn in place at most ten times a second (percent, bytes, speed, time left from the
// recent rate, the state or the latest trouble), done lines green, failed red, retrying
// yellow. Elsewhere: plain lines, one per event, progress at most once a second per printer.
// Then a summary table with what to do about each failure. With watch: what it waits for and
// how many printers are done and failed so far.
class ProgressView : public MultiEventSink {
public:
    ProgressView(TerminalOutput& out, TerminalOutput& err, const Faces& faces,
                 std::vector<MultiTarget> targets, ViewStyle style, bool watch);

    void onEvent(const DownloadEvent& e) override;
    void finished(int exitCode) override;
    void targetAdded(const MultiTarget& target) override;

    static constexpr qint64 kPlainProgressEveryMs = 1000;

private:
    struct Line {
        ProgressEstimate estimate;
        int accepted = 0;
        int frames = 0;
        bool answered = false; // the printer answered: the link is up
        QString lastEvent;     // trouble, until the printer goes on
        bool done = false;
        Outcome result = Outcome::Failed;
        Cause cause = Cause::None;
        qint64 durationMs = 0;
        int retries = 0;
        int attempts = 1; // of the unit, once done
        QString reason;
        qint64 plainPrintedMs = -1;
    };

    QString text(const char* english) const;
    QString stateOf(const Line& line) const;
    QString lineOf(std::size_t i, bool terminal) const;
    QString watchLine() const;
    void redraw();
    void plain(std::size_t i, const QString& what);
    int labelWidth() const;

    TerminalOutput& out_;
    TerminalOutput& err_;
    CauseTexts texts_;
    ViewStyle style_;
    bool watch_;
    std::vector<MultiTarget> targets_;
    std::vector<Line> lines_;
    QElapsedTimer clock_;
    RedrawPacer pacer_;
    ProgressGate gate_;
    int drawnLines_ = 0;
};

// The width of the terminal on fd, or 0 when fd is not a terminal.
int TerminalColumns(int fd);

} // namespace posflash
