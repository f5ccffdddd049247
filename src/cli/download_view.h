#pragma once

#include "cli/cause_texts.h"
#include "download/download_observer.h"

#include <functional>
#include <optional>

namespace posflash {

class DownloadHistory;
class TerminalOutput;

// One download as the command line shows it: a line per step, the frame count rewritten in
// place on a terminal (else a line per tenth of the image), each retry, and a last line with
// the outcome, its cause code and the command line's own text for it. The result goes to the
// history.
class DownloadView : public DownloadObserver {
public:
    DownloadView(TerminalOutput& out, TerminalOutput& err, const CauseTexts& texts, QString target,
                 bool interactive, DownloadHistory& history, int linkTimeoutMs);

    void linking() override;
    void enteringBootLoader() override;
    void answeredWithoutGreeting(const QString& requester, const QString& printer) override;
    void linked() override;
    void framesKnown(int total) override;
    void retrying(const RetryEvent& retry) override;
    void progress(int accepted, int total) override;
    void closing() override;
    void transferEnded(const DownloadResult& result) override;
    void finished(const DownloadResult& result) override;

    // A stop signal arrived: the first cancels, a second stops at once.
    void cancelling();
    void stopping();

    const std::optional<DownloadResult>& result() const { return result_; }
    std::function<void()> ended;

private:
    void line(const QString& text);
    void endRewrittenLine();

    TerminalOutput& out_;
    TerminalOutput& err_;
    const CauseTexts& texts_;
    QString target_;
    bool interactive_;
    DownloadHistory& history_;
    int linkTimeoutMs_;
    bool lineOpen_ = false;
    bool closing_ = false;
    int lastTenth_ = -1;
    std::optional<DownloadResult> result_;
};

} // namespace posflash
