#include "cli/download_view.h"

#include "cli/json_events.h"
#include "cli/progress_text.h"
#include "cli/terminal_output.h"
#include "cli/text_width.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace posflash {

namespace {

QString seconds(qint64 ms) {
    return QString::number(static_cast<double>(ms) / 1000.0, 'f', 1);
}

} // namespace

int TerminalColumns(int fd) {
    if (!::isatty(fd))
        return 0;
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0)
        return 80;
    return size.ws_col;
}

DownloadView::DownloadView(TerminalOutput& out, TerminalOutput& err, const Faces& faces,
                           std::vector<MultiTarget> targets, ViewStyle style)
    : out_(out), err_(err), texts_(faces), style_(style), targets_(std::move(targets)),
      printers_(targets_.size()), pacer_([this] { draw(); }) {
    clock_.start();
    linkReminder_.setSingleShot(true);
    QObject::connect(&linkReminder_, &QTimer::timeout, [this] {
        line(texts_.own(QT_TRANSLATE_NOOP("CliTexts", "still waiting for the link to %1 (%2 s)"))
                 .arg(targets_[0].label)
                 .arg(waited_.elapsed() / 1000));
        linkReminder_.start(kLinkReminderMs);
    });
    if (!style_.watch)
        return;
    if (style_.face == ViewFace::Json)
        out_.write(JsonLine(QJsonObject{{"event", "watching"}, {"t", 0.0}}));
    else if (style_.terminal)
        draw();
    else
        out_.write(watchLine() + QLatin1Char('\n'));
}

void DownloadView::targetAdded(const MultiTarget& target) {
    targets_.push_back(target);
    printers_.emplace_back();
    if (style_.face == ViewFace::Several && style_.terminal)
        pacer_.changed();
}

void DownloadView::onEvent(const DownloadEvent& e) {
    // A printer named alone shows every figure; a run's views need a few a second.
    if (e.movesProgress() && style_.face != ViewFace::One && !gate_.pass(e))
        return;
    const auto i = static_cast<std::size_t>(e.target);
    const bool linkedNow = e.movesProgress() && !printers_[i].answered;
    update(e, printers_[i]);
    switch (style_.face) {
    case ViewFace::One:
        return showOne(e, printers_[i]);
    case ViewFace::Several:
        return showSeveral(e, i, linkedNow);
    case ViewFace::Json:
        if (const auto o = JsonEventOf(e, targets_[i].label, texts_, style_.linkTimeoutMs,
                                       style_.frameBytes)) {
            lastMs_ = std::max(lastMs_, e.ms);
            out_.write(JsonLine(*o));
        }
    }
}

// What every face keeps of a printer's download.
void DownloadView::update(const DownloadEvent& e, PrinterRow& p) {
    using Kind = DownloadEvent::Kind;
    const DownloadResult* r = e.result;
    if (e.movesProgress()) {
        // Frames go through again: the trouble is over.
        p.answered = true;
        p.lastEvent.clear();
        p.estimate.update(clock_.elapsed(), e.accepted, e.frames, style_.frameBytes);
        p.accepted = e.accepted;
        p.frames = e.frames;
    } else if (e.kind == Kind::Linked && network(static_cast<std::size_t>(e.target))) {
        // On a COM port the link is the port itself: the printer answers the start frame.
        p.answered = true;
    } else if (e.kind == Kind::Retrying) {
        p.lastEvent = texts_.retry(e.step, e.frame, e.attempt, e.status);
    } else if (e.kind == Kind::TransferEnded && r->cause == Cause::PrinterRefused) {
        // The last attempt's refusal, which no retry reports.
        p.lastEvent = texts_.retry(r->step, r->frame > 0 ? r->frame : r->framesAccepted + 1, 0,
                                   r->refusalStatus);
    } else if (e.kind == Kind::RetryUnit) {
        // The whole download begins again: shown in the retry colour until frames flow.
        gate_.restart(e.target);
        p.answered = false;
        p.accepted = 0;
        p.frames = 0;
        p.lastTenth = -1;
        p.estimate = {};
        p.lastEvent = texts_.unitRetry(e.nextAttempt, r->cause);
    } else if (e.kind == Kind::UnitFinished) {
        p.done = true;
        p.result = r->outcome;
        p.cause = r->cause;
        p.durationMs = r->elapsedMs;
        p.resends = r->retries;
        // A cancel's code would only say the outcome again, as a single download's last line
        // leaves it out.
        p.reason = r->outcome == Outcome::Completed || r->cause == Cause::Cancelled
                       ? QString()
                       : CauseName(r->cause) + QStringLiteral(" — ");
        if (r->outcome != Outcome::Completed)
            p.reason += texts_.cause(r->cause, r->step, r->framesAccepted + 1, r->attempts,
                                     style_.linkTimeoutMs);
        if (!r->error.detail.isEmpty() && !p.reason.isEmpty())
            p.reason += QStringLiteral(" (") + r->error.detail + QLatin1Char(')');
        if (r->frames > 0)
            p.frames = r->frames;
        p.accepted = r->framesAccepted;
        p.lastEvent.clear();
        p.attempts = e.unitAttempt;
    }
}

void DownloadView::showOne(const DownloadEvent& e, PrinterRow& p) {
    using Kind = DownloadEvent::Kind;
    const QString& name = targets_[0].label;
    switch (e.kind) {
    case Kind::Linking:
        return waitForLink();
    case Kind::EnteringBootLoader:
        return line(texts_
                        .own(QT_TRANSLATE_NOOP("CliTexts",
                                               "asking the running firmware of %1 to take a font"))
                        .arg(name));
    case Kind::NoGreeting:
        return line(texts_
                        .own(QT_TRANSLATE_NOOP(
                            "CliTexts",
                            "the BOOTP request from %1 was answered, but no printer greeted from "
                            "%2: answering the next request with the printer's MAC address"))
                        .arg(e.address, e.printerAddress));
    case Kind::Linked:
        // On a COM port the port itself is the link: the printer has not answered yet.
        return network(0) ? linked() : waitForLink();
    case Kind::FramesKnown:
        if (!network(0))
            linked();
        break;
    case Kind::FrameSent:
        // Only the system's own words: the serial error's text is the window's, in one face.
        if (e.serial && !e.sendError)
            p.sendFailed.reset();
        else if (e.serial)
            p.sendFailed = e.sendError->detail.isEmpty()
                               ? texts_.own(QT_TRANSLATE_NOOP("CliTexts", "no reason given"))
                               : e.sendError->detail;
        break;
    case Kind::Retrying:
        // A frame that never reached the port got no answer because it was never sent.
        return line(p.sendFailed
                        ? texts_
                              .own(QT_TRANSLATE_NOOP(
                                  "CliTexts", "the port could not be opened (%1), resend %2"))
                              .arg(*p.sendFailed)
                              .arg(e.attempt - 1)
                        : p.lastEvent,
                    Tone::Retrying);
    case Kind::Finished:
        return endOne(*e.result);
    case Kind::RetryUnit:
        return line(p.lastEvent, Tone::Retrying);
    default:
        break;
    }
    if (e.movesProgress()) {
        if (style_.terminal) {
            pacer_.changed();
        } else if (const int tenth = p.frames > 0 ? p.accepted * 10 / p.frames : 0;
                   tenth != p.lastTenth) {
            // Off a terminal, a line per tenth of the image is progress enough.
            p.lastTenth = tenth;
            line(figures(p));
        }
    }
    if (e.kind == Kind::Closing)
        line(texts_.own(QT_TRANSLATE_NOOP("CliTexts", "sending the closing frames")));
}

void DownloadView::showSeveral(const DownloadEvent& e, std::size_t i, bool linkedNow) {
    using Kind = DownloadEvent::Kind;
    PrinterRow& p = printers_[i];
    const DownloadResult* r = e.result;
    QString said;
    if (e.movesProgress() && !style_.terminal) {
        if (linkedNow && !network(i))
            plain(i, texts_.text(QT_TRANSLATE_NOOP("MultiDownload", "linked")));
        if (e.accepted != e.frames && p.plainPrintedMs >= 0 &&
            e.ms - p.plainPrintedMs < kPlainProgressEveryMs)
            return;
        p.plainPrintedMs = e.ms;
    } else if (e.kind == Kind::UnitStarted || (e.kind == Kind::Linked && network(i))) {
        said = stateOf(p);
    } else if (e.kind == Kind::Retrying || e.kind == Kind::RetryUnit ||
               (e.kind == Kind::TransferEnded && r->cause == Cause::PrinterRefused)) {
        said = p.lastEvent;
    } else if (e.kind == Kind::UnitFinished) {
        said = texts_.outcome(r->outcome) + QStringLiteral(" (%1 s)").arg(seconds(r->elapsedMs));
        if (e.unitAttempt > 1)
            said += QStringLiteral(", ") +
                    texts_.own(QT_TRANSLATE_NOOP("CliTexts", "%1 attempts")).arg(e.unitAttempt);
        if (!p.reason.isEmpty())
            said += (r->cause == Cause::Cancelled ? QStringLiteral(": ") : QStringLiteral(" - ")) +
                    p.reason;
    } else if (!e.movesProgress()) {
        return;
    }
    if (style_.terminal)
        return pacer_.changed();
    plain(i, said);
    if (e.kind == Kind::UnitFinished && style_.watch)
        out_.write(watchLine() + QLatin1Char('\n'));
}

QString DownloadView::fitted(QString text) const {
    // A line that wraps would push the block down and break the redraw.
    if (style_.columns > 1 && DisplayWidth(text) >= style_.columns)
        text = CutToWidth(text, style_.columns);
    return text;
}

QString DownloadView::figures(const PrinterRow& p) const {
    ProgressFigures f = FiguresOf(p.estimate, clock_.elapsed(), p.accepted, p.frames,
                                  style_.frameBytes, style_.imageBytes);
    if (p.done) {
        f.kibPerSecond = 0;
        f.leftMs.reset();
    }
    return ProgressText(texts_, f);
}

QString DownloadView::stateOf(const PrinterRow& p) const {
    if (p.done)
        return texts_.outcome(p.result) +
               (p.result == Outcome::Completed || p.cause == Cause::Cancelled
                    ? QString()
                    : QStringLiteral(": ") + CauseName(p.cause)) +
               QStringLiteral(" (%1 s)").arg(seconds(p.durationMs)) +
               (p.attempts > 1
                    ? QStringLiteral(", ") +
                          texts_.own(QT_TRANSLATE_NOOP("CliTexts", "%1 attempts")).arg(p.attempts)
                    : QString());
    if (!p.lastEvent.isEmpty())
        return p.lastEvent;
    if (p.frames > 0)
        return {}; // the figures say it
    return p.answered ? texts_.text(QT_TRANSLATE_NOOP("MultiDownload", "linked"))
                      : texts_.text(QT_TRANSLATE_NOOP("MultiDownload", "waiting for the link"));
}

QString DownloadView::lineOf(std::size_t i, bool terminal) const {
    const PrinterRow& p = printers_[i];
    int labels = 0;
    for (const MultiTarget& t : targets_)
        labels = std::max(labels, DisplayWidth(t.label));
    QString s = terminal ? PadToWidth(targets_[i].label, labels) + QLatin1Char(' ')
                         : targets_[i].label + QStringLiteral(": ");
    if (p.frames > 0) {
        s += figures(p);
        if (!terminal)
            return s;
    }
    const QString state = stateOf(p);
    if (state.isEmpty())
        return s;
    return s + (p.frames > 0 ? QStringLiteral("  ") : QString()) + state;
}

QString DownloadView::watchLine() const {
    int completed = 0;
    int failed = 0;
    for (const PrinterRow& p : printers_) {
        completed += p.done && p.result == Outcome::Completed ? 1 : 0;
        failed += p.done && p.result != Outcome::Completed ? 1 : 0;
    }
    return texts_
        .text(QT_TRANSLATE_NOOP("MultiDownload",
                                "watching for printers to be plugged in (Ctrl-C ends): %1 "
                                "completed, %2 failed so far"))
        .arg(completed)
        .arg(failed);
}

void DownloadView::draw() {
    if (style_.face == ViewFace::One) {
        out_.write(QStringLiteral("\r\033[K") + fitted(figures(printers_[0])));
        lineOpen_ = true;
        return;
    }
    QString block;
    if (drawnLines_ > 0)
        block += QStringLiteral("\033[%1A").arg(drawnLines_);
    const auto put = [&](const QString& s, Tone tone) {
        block +=
            QStringLiteral("\r\033[K") + Paint(fitted(s), tone, style_.colour) + QLatin1Char('\n');
    };
    for (std::size_t i = 0; i < printers_.size(); ++i) {
        const PrinterRow& p = printers_[i];
        const Tone tone = p.done ? (p.result == Outcome::Completed ? Tone::Done : Tone::Failed)
                          : p.lastEvent.isEmpty() ? Tone::Plain
                                                  : Tone::Retrying;
        put(lineOf(i, true), tone);
    }
    if (style_.watch)
        put(watchLine(), Tone::Plain);
    drawnLines_ = static_cast<int>(printers_.size()) + (style_.watch ? 1 : 0);
    out_.write(block);
}

void DownloadView::plain(std::size_t i, const QString& what) {
    out_.write(
        (what.isEmpty() ? lineOf(i, false) : targets_[i].label + QStringLiteral(": ") + what) +
        QLatin1Char('\n'));
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
             .arg(targets_[0].label));
    waited_.start();
    linkReminder_.start(kLinkReminderMs);
}

void DownloadView::linked() {
    linkReminder_.stop();
    line(texts_.own(QT_TRANSLATE_NOOP("CliTexts", "linked to %1")).arg(targets_[0].label));
}

void DownloadView::stopSignalled(int count, bool closing, bool transferring) {
    const bool one = style_.face == ViewFace::One;
    const QString finishing = texts_.own(QT_TRANSLATE_NOOP(
        "CliTexts", "finishing the closing frames; a second Ctrl-C stops at once, which may "
                    "leave a partial image in the printer"));
    if (count == 1) {
        if (one && !printers_[0].done)
            line(closing ? finishing
                         : texts_.own(QT_TRANSLATE_NOOP(
                               "CliTexts", "cancelling: a frame in flight finishes its resends; "
                                           "a second Ctrl-C stops at once")));
        // Standard error: with --json, standard output carries the events only.
        else if (!one && closing)
            err_.write(finishing + QLatin1Char('\n'));
        return;
    }
    // A cancel that has already ended the frames leaves nothing to stop but the pause before
    // the ports close: no warning, and the ending stays the cancel's.
    if (!transferring || (!one && count > 2))
        return;
    if (one)
        endRewrittenLine();
    err_.write(texts_.own(QT_TRANSLATE_NOOP(
                   "CliTexts", "warning: stopping at once; the printer may hold a partial image")) +
               QLatin1Char('\n'));
}

void DownloadView::endOne(const DownloadResult& result) {
    linkReminder_.stop();
    endRewrittenLine();
    if (result.outcome == Outcome::Completed) {
        const double s = static_cast<double>(result.elapsedMs) / 1000.0;
        const double kib = static_cast<double>(result.bytes) / 1024.0;
        return line(
            texts_
                .own(QT_TRANSLATE_NOOP(
                    "CliTexts",
                    "completed: %1 bytes in %2 s (%3 KiB/s), CRC-16 0x%4, printer accepted"))
                .arg(result.bytes)
                .arg(s, 0, 'f', 2)
                .arg(s > 0 ? kib / s : 0.0, 0, 'f', 1)
                .arg(QString::number(result.crc16, 16)
                         .toUpper()
                         .rightJustified(4, QLatin1Char('0'))),
            Tone::Done);
    }
    QString said =
        Paint(texts_.endLine(result, style_.linkTimeoutMs), Tone::Failed, style_.colour) +
        QLatin1Char('\n');
    if (const QString remedy = texts_.remedyLine(result.cause); !remedy.isEmpty())
        said += remedy + QLatin1Char('\n');
    err_.write(said);
}

void DownloadView::finished(int exitCode) {
    if (style_.face == ViewFace::Json) {
        std::vector<Outcome> results;
        for (const PrinterRow& p : printers_)
            results.push_back(p.done ? p.result : Outcome::Cancelled);
        QJsonObject summary = JsonSummaryOf(results, lastMs_, exitCode);
        for (auto it = fleetCounts_.begin(); it != fleetCounts_.end(); ++it)
            summary[it.key()] = it.value();
        return out_.write(JsonLine(summary));
    }
    if (style_.face == ViewFace::Several && !printers_.empty())
        summary(exitCode);
    if (!fleetWords_.isEmpty())
        out_.write(fleetWords_);
}

void DownloadView::summary(int exitCode) {
    if (style_.terminal)
        pacer_.flush();
    std::vector<QStringList> rows = {{texts_.text(QT_TRANSLATE_NOOP("MultiDownload", "target")),
                                      texts_.text(QT_TRANSLATE_NOOP("MultiDownload", "result")),
                                      texts_.text(QT_TRANSLATE_NOOP("MultiDownload", "seconds")),
                                      texts_.text(QT_TRANSLATE_NOOP("MultiDownload", "resends")),
                                      texts_.text(QT_TRANSLATE_NOOP("MultiDownload", "reason"))}};
    for (std::size_t i = 0; i < printers_.size(); ++i) {
        const PrinterRow& p = printers_[i];
        rows.push_back({targets_[i].label, texts_.outcome(p.result), seconds(p.durationMs),
                        QString::number(p.resends),
                        p.result == Outcome::Completed ? QString() : p.reason});
    }
    std::vector<int> widths(rows[0].size(), 0);
    for (const QStringList& row : rows)
        for (int c = 0; c < row.size(); ++c)
            widths[static_cast<std::size_t>(c)] =
                std::max(widths[static_cast<std::size_t>(c)], DisplayWidth(row[c]));
    // The reason, last, is broken at blanks to the terminal's width, its further lines under
    // its column; with too little room left there, it goes under the row.
    int reasonAt = 0;
    for (std::size_t c = 0; c + 1 < widths.size(); ++c)
        reasonAt += widths[c] + 2;
    constexpr int kFewestReasonColumns = 24;
    const bool under = style_.columns > 0 && style_.columns - reasonAt < kFewestReasonColumns;
    const int reasonIndent = under ? 4 : reasonAt;
    QString table = QStringLiteral("\n");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Tone tone = r == 0                                          ? Tone::Plain
                          : printers_[r - 1].result == Outcome::Completed ? Tone::Done
                                                                          : Tone::Failed;
        QStringList reason{rows[r].back()};
        if (style_.columns > 0 && r > 0)
            reason = WrapToWidth(rows[r].back(), std::max(style_.columns - reasonIndent, 1));
        QString s;
        for (int c = 0; c < rows[r].size(); ++c) {
            const bool last = c + 1 == rows[r].size();
            if (last && under && r > 0)
                break;
            const QString& cell = last ? reason.front() : rows[r][c];
            const QString padded =
                last ? cell : PadToWidth(cell, widths[static_cast<std::size_t>(c)]);
            s += (c > 0 ? QStringLiteral("  ") : QString()) +
                 (c == 1 ? Paint(padded, tone, style_.colour) : padded);
        }
        while (s.endsWith(QLatin1Char(' ')))
            s.chop(1);
        table += s + QLatin1Char('\n');
        const QString indent(reasonIndent, QLatin1Char(' '));
        for (qsizetype i = under && r > 0 ? 0 : 1; i < reason.size(); ++i)
            if (!reason[i].isEmpty())
                table += indent + reason[i] + QLatin1Char('\n');
    }
    // What to do, once for each cause that ended a printer's download.
    std::vector<Cause> told;
    int completed = 0;
    for (const PrinterRow& p : printers_) {
        completed += p.result == Outcome::Completed ? 1 : 0;
        if (p.result == Outcome::Completed ||
            std::find(told.begin(), told.end(), p.cause) != told.end())
            continue;
        told.push_back(p.cause);
        const QString remedy = texts_.remedy(p.cause);
        if (remedy.isEmpty())
            continue;
        const QString said = CauseName(p.cause) + QStringLiteral(": ") + remedy;
        const QStringList lines =
            style_.columns > 0 ? WrapToWidth(said, style_.columns - 2) : QStringList{said};
        table += lines.join(QStringLiteral("\n  ")) + QLatin1Char('\n');
    }
    table += texts_.text(QT_TRANSLATE_NOOP("MultiDownload", "%1 of %2 completed, exit code %3"))
                 .arg(completed)
                 .arg(printers_.size())
                 .arg(exitCode) +
             QLatin1Char('\n');
    out_.write(table);
}

} // namespace posflash
