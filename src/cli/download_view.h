#pragma once

#include "cli/colour.h"
#include "cli/progress_gate.h"
#include "cli/redraw_pacer.h"
#include "download/progress_estimate.h"
#include "fleet/multi_download.h"
#include "unit/cause_texts.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QTimer>

#include <optional>
#include <vector>

namespace posflash {

class Faces;
class TerminalOutput;

// One printer named alone, a run of several (or of printers found on the bus), or JSON Lines.
enum class ViewFace { One, Several, Json };

// How a view writes: to a terminal (redrawn in place, coloured when asked) or as plain lines.
struct ViewStyle {
    ViewFace face = ViewFace::Several;
    bool watch = false; // printers come as they are plugged in
    bool terminal = false;
    bool colour = false;
    int columns = 0;       // of the terminal; 0 when unknown
    int linkTimeoutMs = 0; // the job's limit, for the texts that name it
    qint64 imageBytes = 0; // the image's size; 0 when unknown
    int frameBytes = 0;    // image bytes per data frame
};

// A download as people (or programs) read it: each printer's state from the run's events, shown
// in one face. One: the link's wait (said again every ten seconds), the figures redrawn in place
// on a terminal or a line per tenth of the image, each resend, and what was sent or why not and
// what to do. Several: a line per printer redrawn in place (done green, failed red, retrying
// yellow), or plain lines with progress at most once a second per printer; a summary table
// last. Json: an object per event (docs/events.schema.json), a summary last.
class DownloadView : public MultiEventSink {
public:
    DownloadView(TerminalOutput& out, TerminalOutput& err, const Faces& faces,
                 std::vector<MultiTarget> targets, ViewStyle style);

    void onEvent(const DownloadEvent& e) override;
    void finished(int exitCode) override;
    void targetAdded(const MultiTarget& target) override;
    // A rollout's end, said with the summary: its counts added to the JSON summary, its words
    // after the table.
    void setFleetSummary(QJsonObject counts, QString words) {
        fleetCounts_ = std::move(counts);
        fleetWords_ = std::move(words);
    }

    // The count-th stop signal arrived, while a printer was in its closing frames (closing) or
    // still in its link or frames (transferring): the first cancels, a second stops at once.
    void stopSignalled(int count, bool closing, bool transferring);

    static constexpr int kLinkReminderMs = 10000;
    static constexpr qint64 kPlainProgressEveryMs = 1000;

private:
    struct PrinterRow {
        ProgressEstimate estimate;
        int accepted = 0;
        int frames = 0;
        bool answered = false; // the printer answered: the link is up
        QString lastEvent;     // trouble, until the printer goes on
        bool done = false;
        Outcome result = Outcome::Failed;
        Cause cause = Cause::None;
        qint64 durationMs = 0;
        int resends = 0;  // frames sent again in the last attempt
        int attempts = 1; // of the unit, once done
        QString reason;
        qint64 plainPrintedMs = -1;
        int lastTenth = -1;
        // The system's words for the last frame that could not be handed to the port, if any.
        std::optional<QString> sendFailed;
    };

    void update(const DownloadEvent& e, PrinterRow& p);
    void showOne(const DownloadEvent& e, PrinterRow& p);
    void showSeveral(const DownloadEvent& e, std::size_t i, bool linkedNow);
    void endOne(const DownloadResult& result);
    void summary(int exitCode);

    bool network(std::size_t i) const { return !targets_[i].printer.ip.isEmpty(); }
    QString fitted(QString text) const;
    QString figures(const PrinterRow& p) const;
    QString stateOf(const PrinterRow& p) const;
    QString lineOf(std::size_t i, bool terminal) const;
    QString watchLine() const;
    void draw();
    void plain(std::size_t i, const QString& what);
    void line(const QString& text, Tone tone = Tone::Plain);
    void endRewrittenLine();
    void waitForLink();
    void linked();

    TerminalOutput& out_;
    TerminalOutput& err_;
    CauseTexts texts_;
    ViewStyle style_;
    std::vector<MultiTarget> targets_;
    std::vector<PrinterRow> printers_;
    QElapsedTimer clock_;
    RedrawPacer pacer_;
    ProgressGate gate_;
    int drawnLines_ = 0;
    qint64 lastMs_ = 0;
    // One: the link's wait and the progress line still open.
    QElapsedTimer waited_;
    QTimer linkReminder_;
    bool lineOpen_ = false;
    QJsonObject fleetCounts_;
    QString fleetWords_;
};

// The width of the terminal on fd, or 0 when fd is not a terminal.
int TerminalColumns(int fd);

} // namespace posflash
