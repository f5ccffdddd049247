#include "cli/download_view.h"

#include "cli/progress_text.h"
#include "cli/terminal_output.h"
#include "cli/text_width.h"

namespace posflash {

namespace {

QString hex4(int value) {
    return QString::number(value, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

} // namespace

DownloadView::DownloadView(TerminalOutput& out, TerminalOutput& err, const CauseTexts& texts,
                           QString target, ViewStyle style, bool comRoute, int frameBytes)
    : out_(out), err_(err), texts_(texts), target_(std::move(target)), style_(style),
      comRoute_(comRoute), frameBytes_(frameBytes), pacer_([this] { drawProgress(); }) {
    clock_.start();
    linkReminder_.setSingleShot(true);
    QObject::connect(&linkReminder_, &QTimer::timeout, [this] {
        line(texts_.own(QT_TRANSLATE_NOOP("CliTexts", "still waiting for the link to %1 (%2 s)"))
                 .arg(target_)
                 .arg(waited_.elapsed() / 1000));
        linkReminder_.start(kLinkReminderMs);
    });
}

void DownloadView::endRewrittenLine() {
    pacer_.flush();
    if (lineOpen_) {
        out_.write(QStringLiteral("\n"));
        lineOpen_ = false;
    }
}

void DownloadView::line(const QString& text, Tone tone) {
    endRewrittenLine();
    out_.write(Paint(text, tone, style_.colour) + QLatin1Char('\n'));
}

void DownloadView::waitForLink() {
    line(texts_
             .own(QT_TRANSLATE_NOOP(
                 "CliTexts", "waiting for the link to %1 (the printer must be in its boot loader)"))
             .arg(target_));
    waited_.start();
    linkReminder_.start(kLinkReminderMs);
}

void DownloadView::onEvent(const DownloadEvent& e) {
    using Kind = DownloadEvent::Kind;
    switch (e.kind) {
    case Kind::Started:
        transferOver_ = false;
        clock_.start();
        return;
    case Kind::Linking:
        waitForLink();
        return;
    case Kind::EnteringBootLoader:
        line(texts_
                 .own(QT_TRANSLATE_NOOP("CliTexts",
                                        "asking the running firmware of %1 to take a font"))
                 .arg(target_));
        return;
    case Kind::NoGreeting:
        line(texts_
                 .own(QT_TRANSLATE_NOOP(
                     "CliTexts",
                     "the BOOTP request from %1 was answered, but no printer greeted from %2: "
                     "answering the next request with the printer's MAC address"))
                 .arg(e.address, e.printerAddress));
        return;
    case Kind::Linked:
        linked();
        return;
    case Kind::FramesKnown:
        framesKnown(e.frames);
        return;
    case Kind::FrameSent:
        // Only the system's own words: the serial error's text is the window's, in one face.
        if (e.serial && !e.sendError)
            sendFailed_.reset();
        else if (e.serial)
            sendFailed_ = e.sendError->detail.isEmpty()
                              ? texts_.own(QT_TRANSLATE_NOOP("CliTexts", "no reason given"))
                              : e.sendError->detail;
        if (e.movesProgress())
            progress(e.accepted, e.frames);
        return;
    case Kind::Retrying:
        retrying(e);
        return;
    case Kind::Closing:
        progress(e.accepted, e.frames);
        closing_ = true;
        line(texts_.own(QT_TRANSLATE_NOOP("CliTexts", "sending the closing frames")));
        return;
    case Kind::TransferEnded:
        closing_ = false;
        transferOver_ = true;
        return;
    case Kind::Finished:
        finished(*e.result);
        return;
    case Kind::RetryUnit:
        closing_ = false;
        accepted_ = 0;
        frames_ = 0;
        lastTenth_ = -1;
        estimate_ = {};
        line(texts_.unitRetry(e.nextAttempt, e.result->cause), Tone::Retrying);
        return;
    case Kind::UnitFinished:
        unitOver_ = true;
        return;
    default:
        return;
    }
}

void DownloadView::linked() {
    // On a COM port the port itself is the link: the printer has not answered yet.
    if (comRoute_) {
        waitForLink();
        return;
    }
    linkReminder_.stop();
    line(texts_.own(QT_TRANSLATE_NOOP("CliTexts", "linked to %1")).arg(target_));
}

void DownloadView::framesKnown(int total) {
    if (comRoute_) {
        linkReminder_.stop();
        line(texts_.own(QT_TRANSLATE_NOOP("CliTexts", "linked to %1")).arg(target_));
    }
    progress(0, total);
}

void DownloadView::retrying(const DownloadEvent& retry) {
    // A frame that never reached the port got no answer because it was never sent.
    if (sendFailed_)
        line(
            texts_
                .own(QT_TRANSLATE_NOOP("CliTexts", "the port could not be opened (%1), attempt %2"))
                .arg(*sendFailed_)
                .arg(retry.attempt),
            Tone::Retrying);
    else
        line(texts_.retry(retry.step, retry.frame, retry.attempt, retry.status), Tone::Retrying);
}

QString DownloadView::progressText() const {
    return ProgressText(texts_, FiguresOf(estimate_, clock_.elapsed(), accepted_, frames_,
                                          frameBytes_, style_.imageBytes));
}

void DownloadView::drawProgress() {
    QString text = progressText();
    if (style_.columns > 1 && DisplayWidth(text) >= style_.columns)
        text = CutToWidth(text, style_.columns);
    out_.write(QStringLiteral("\r\033[K") + text);
    lineOpen_ = true;
}

void DownloadView::progress(int accepted, int total) {
    accepted_ = accepted;
    frames_ = total;
    estimate_.update(clock_.elapsed(), accepted, total, frameBytes_);
    if (style_.terminal) {
        pacer_.changed();
        return;
    }
    // Off a terminal, a line per tenth of the image is progress enough.
    const int tenth = total > 0 ? accepted * 10 / total : 0;
    if (tenth == lastTenth_)
        return;
    lastTenth_ = tenth;
    line(progressText());
}

void DownloadView::cancelling() {
    if (unitOver_)
        return;
    line(closing_ ? texts_.own(QT_TRANSLATE_NOOP(
                        "CliTexts", "finishing the closing frames; a second Ctrl-C stops at once, "
                                    "which may leave a partial image in the printer"))
                  : texts_.own(QT_TRANSLATE_NOOP(
                        "CliTexts", "cancelling: a frame in flight finishes its attempts; a second "
                                    "Ctrl-C stops at once")));
}

void DownloadView::stopping() {
    // A cancel that has already ended the frames leaves nothing to stop but the pause before
    // the ports close: no warning, and the ending stays the cancel's.
    if (unitOver_ || transferOver_)
        return;
    endRewrittenLine();
    err_.write(texts_.own(QT_TRANSLATE_NOOP(
                   "CliTexts", "warning: stopping at once; the printer may hold a partial image")) +
               QLatin1Char('\n'));
}

void DownloadView::finished(const DownloadResult& result) {
    linkReminder_.stop();
    endRewrittenLine();
    if (result.outcome == Outcome::Completed) {
        const double seconds = static_cast<double>(result.elapsedMs) / 1000.0;
        const double kib = static_cast<double>(result.bytes) / 1024.0;
        line(texts_
                 .own(QT_TRANSLATE_NOOP(
                     "CliTexts",
                     "completed: %1 bytes in %2 s (%3 KiB/s), CRC-16 0x%4, printer accepted"))
                 .arg(result.bytes)
                 .arg(seconds, 0, 'f', 2)
                 .arg(seconds > 0 ? kib / seconds : 0.0, 0, 'f', 1)
                 .arg(hex4(result.crc16)),
             Tone::Done);
    } else {
        QString said =
            Paint(texts_.endLine(result, style_.linkTimeoutMs), Tone::Failed, style_.colour) +
            QLatin1Char('\n');
        if (const QString remedy = texts_.remedyLine(result.cause); !remedy.isEmpty())
            said += remedy + QLatin1Char('\n');
        err_.write(said);
    }
}

} // namespace posflash
