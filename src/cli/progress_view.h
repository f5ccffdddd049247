#pragma once

#include "cli/cause_texts.h"
#include "cli/progress_estimate.h"
#include "fleet/multi_download.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace posflash {

class Faces;
class TerminalOutput;

// A download to several printers as people read it. On a terminal: one line per printer,
// redrawn in place (percent, frame i/N, speed, time left, last event). Elsewhere: plain lines,
// one per event, progress at most once a second per printer. Then a summary table.
class ProgressView : public MultiEventSink {
public:
    ProgressView(TerminalOutput& out, TerminalOutput& err, const Faces& faces,
                 std::vector<MultiTarget> targets, bool interactive, int columns,
                 int linkTimeoutMs);

    void event(const TargetEvent& e) override;
    void finished(int exitCode) override;
    void targetAdded(const MultiTarget& target) override;

    static constexpr qint64 kPlainProgressEveryMs = 1000;

private:
    struct Line {
        ProgressEstimate estimate;
        int accepted = 0;
        int frames = 0;
        QString lastEvent;
        bool done = false;
        Outcome result = Outcome::Failed;
        qint64 durationMs = 0;
        int retries = 0;
        QString reason;
        qint64 plainPrintedMs = -1;
    };

    QString text(const char* english) const;
    QString eventText(const TargetEvent& e) const;
    QString lineOf(std::size_t i, bool withEvent = true) const;
    void redraw();
    void plain(std::size_t i, const QString& what);

    TerminalOutput& out_;
    TerminalOutput& err_;
    CauseTexts texts_;
    int linkTimeoutMs_;
    std::vector<MultiTarget> targets_;
    std::vector<Line> lines_;
    bool interactive_;
    int columns_;
    int labelWidth_ = 0;
    bool drawn_ = false;
};

// The width of the terminal on fd, or 0 when fd is not a terminal.
int TerminalColumns(int fd);

} // namespace posflash
