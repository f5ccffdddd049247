#include "cli/download_view.h"

#include "cli/terminal_output.h"
#include "fleet/download_record.h"

namespace posflash {

namespace {

QString hex4(int value) {
    return QString::number(value, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

} // namespace

DownloadView::DownloadView(TerminalOutput& out, TerminalOutput& err, const CauseTexts& texts,
                           QString target, bool interactive, DownloadHistory& history,
                           int linkTimeoutMs)
    : out_(out), err_(err), texts_(texts), target_(std::move(target)), interactive_(interactive),
      history_(history), linkTimeoutMs_(linkTimeoutMs) {}

void DownloadView::endRewrittenLine() {
    if (lineOpen_) {
        out_.write(QStringLiteral("\n"));
        lineOpen_ = false;
    }
}

void DownloadView::line(const QString& text) {
    endRewrittenLine();
    out_.write(text + QLatin1Char('\n'));
}

void DownloadView::linking() {
    line(texts_.text("connecting") + QStringLiteral(" ") + target_);
}

void DownloadView::enteringBootLoader() {
    line(texts_.own("asking the running firmware of %1 to take a font").arg(target_));
}

void DownloadView::answeredWithoutGreeting(const QString& requester, const QString& printer) {
    line(texts_
             .own("the BOOTP request from %1 was answered, but no printer greeted from %2: "
                  "answering the next request with the printer's MAC address")
             .arg(requester, printer));
}

void DownloadView::linked() {
    line(texts_.text("linked") + QStringLiteral(" ") + target_);
}

void DownloadView::framesKnown(int total) {
    progress(0, total);
}

void DownloadView::retrying(const RetryEvent& retry) {
    line(texts_.retry(retry.step, retry.frame, retry.attempt, retry.status));
}

void DownloadView::progress(int accepted, int total) {
    const QString text = texts_.text("frame %1/%2").arg(accepted).arg(total) +
                         QStringLiteral("  %1%").arg(total > 0 ? accepted * 100 / total : 0);
    if (interactive_) {
        out_.write(QStringLiteral("\r\033[K") + text);
        lineOpen_ = true;
        return;
    }
    // Off a terminal, a line per tenth of the image is progress enough.
    const int tenth = total > 0 ? accepted * 10 / total : 0;
    if (tenth == lastTenth_ && accepted != 1 && accepted != total)
        return;
    lastTenth_ = tenth;
    line(text);
}

void DownloadView::closing() {
    closing_ = true;
    line(texts_.own("sending the closing frames"));
}

void DownloadView::transferEnded(const DownloadResult&) {
    closing_ = false;
}

void DownloadView::cancelling() {
    if (result_)
        return;
    line(closing_ ? texts_.own("finishing the closing frames; a second Ctrl-C stops at once, "
                               "which may leave a partial image in the printer")
                  : texts_.own("cancelling: a frame in flight finishes its attempts; a second "
                               "Ctrl-C stops at once"));
}

void DownloadView::stopping() {
    if (result_)
        return;
    endRewrittenLine();
    err_.write(texts_.own("warning: stopping at once; the printer may hold a partial image") +
               QLatin1Char('\n'));
}

void DownloadView::finished(const DownloadResult& result) {
    result_ = result;
    endRewrittenLine();
    if (result.outcome == Outcome::Completed) {
        out_.write(texts_.own("completed in %1 s: %2 bytes, %3 data frames, CRC-16 0x%4")
                       .arg(static_cast<double>(result.elapsedMs) / 1000.0, 0, 'f', 3)
                       .arg(result.bytes)
                       .arg(result.frames)
                       .arg(hex4(result.crc16)) +
                   QLatin1Char('\n'));
    } else {
        err_.write(texts_.endLine(result, linkTimeoutMs_) + QLatin1Char('\n'));
    }
    history_.record(result);
    if (ended)
        ended();
}

} // namespace posflash
