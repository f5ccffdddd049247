#pragma once

#include "cli/colour.h"
#include "cli/progress_estimate.h"
#include "cli/progress_view.h"
#include "cli/redraw_pacer.h"
#include "download/download_event.h"
#include "fleet/cause_texts.h"

#include <QElapsedTimer>
#include <QTimer>

#include <optional>

namespace posflash {

class TerminalOutput;

// One download as the command line shows it, in the multi-printer view's terms: the wait for
// the link (said once, then every ten seconds), the progress (percent, bytes, speed, time
// left) redrawn in place at most ten times a second on a terminal or a line per tenth of the
// image elsewhere, each retry, and a last line: what was sent and that the printer accepted
// it, or the outcome, its cause code, the command line's own text for it and what to do;
// each attempt of the unit so, with a line when the update begins again.
class DownloadView : public MultiEventSink {
public:
    // comRoute: the link is the port itself, and the printer's first answer is to the start
    // frame; frameBytes: image bytes per data frame.
    DownloadView(TerminalOutput& out, TerminalOutput& err, const CauseTexts& texts, QString target,
                 ViewStyle style, bool comRoute, int frameBytes);

    void onEvent(const DownloadEvent& e) override;
    void finished(int) override {}
    void targetAdded(const MultiTarget&) override {}

    // A stop signal arrived: the first cancels, a second stops at once.
    void cancelling();
    void stopping();

    static constexpr int kLinkReminderMs = 10000;

private:
    void linked();
    void framesKnown(int total);
    void retrying(const DownloadEvent& retry);
    void progress(int accepted, int total);
    void finished(const DownloadResult& result);
    void line(const QString& text, Tone tone = Tone::Plain);
    void endRewrittenLine();
    void waitForLink();
    void drawProgress();
    QString progressText() const;

    TerminalOutput& out_;
    TerminalOutput& err_;
    const CauseTexts& texts_;
    QString target_;
    ViewStyle style_;
    bool comRoute_;
    int frameBytes_;
    QElapsedTimer clock_;
    QElapsedTimer waited_;
    QTimer linkReminder_;
    RedrawPacer pacer_;
    ProgressEstimate estimate_;
    int accepted_ = 0;
    int frames_ = 0;
    bool lineOpen_ = false;
    bool closing_ = false;
    bool transferOver_ = false; // the attempt's frames have ended, the ports not yet closed
    int lastTenth_ = -1;
    // The system's words for the last frame that could not be handed to the port, if any.
    std::optional<QString> sendFailed_;
    bool unitOver_ = false; // no attempt follows
};

} // namespace posflash
