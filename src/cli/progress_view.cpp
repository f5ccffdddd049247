#include "cli/progress_view.h"

#include "cli/colour.h"
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

ProgressView::ProgressView(TerminalOutput& out, TerminalOutput& err, const Faces& faces,
                           std::vector<MultiTarget> targets, ViewStyle style, bool watch)
    : out_(out), err_(err), texts_(faces), style_(style), watch_(watch),
      targets_(std::move(targets)), lines_(targets_.size()), pacer_([this] { redraw(); }) {
    clock_.start();
    if (!watch_)
        return;
    if (style_.terminal)
        redraw();
    else
        out_.write(watchLine() + QLatin1Char('\n'));
}

void ProgressView::targetAdded(const MultiTarget& target) {
    targets_.push_back(target);
    lines_.emplace_back();
    if (style_.terminal)
        pacer_.changed();
}

QString ProgressView::text(const char* english) const {
    return texts_.text(english);
}

int ProgressView::labelWidth() const {
    int width = 0;
    for (const MultiTarget& t : targets_)
        width = std::max(width, DisplayWidth(t.label));
    return width;
}

void ProgressView::onEvent(const DownloadEvent& e) {
    using Kind = DownloadEvent::Kind;
    const bool progress = e.movesProgress();
    if (progress && !gate_.pass(e))
        return;
    const auto i = static_cast<std::size_t>(e.target);
    Line& line = lines_[i];
    const bool network = !targets_[i].ip.isEmpty();
    const DownloadResult* r = e.result;
    QString plainText;
    if (progress) {
        // Frames go through again: the trouble is over.
        const bool first = !line.answered;
        line.answered = true;
        line.lastEvent.clear();
        line.estimate.update(clock_.elapsed(), e.accepted, e.frames, style_.frameBytes);
        line.accepted = e.accepted;
        line.frames = e.frames;
        if (!style_.terminal && first && !network)
            plain(i, text(QT_TRANSLATE_NOOP("MultiDownload", "linked")));
        if (!style_.terminal && e.accepted != e.frames && line.plainPrintedMs >= 0 &&
            e.ms - line.plainPrintedMs < kPlainProgressEveryMs)
            return;
        line.plainPrintedMs = e.ms;
    } else if (e.kind == Kind::UnitStarted) {
        plainText = stateOf(line);
    } else if (e.kind == Kind::Linked) {
        // On a COM port the link is the port itself: the printer answers the start frame.
        if (!network)
            return;
        line.answered = true;
        plainText = stateOf(line);
    } else if (e.kind == Kind::Retrying) {
        line.lastEvent =
            texts_.retry(e.step, e.frame > 0 ? e.frame : e.accepted + 1, e.attempt, e.status);
        plainText = line.lastEvent;
    } else if (e.kind == Kind::TransferEnded && r->cause == Cause::PrinterRefused) {
        // The last attempt's refusal, which no retry reports.
        line.lastEvent = texts_.retry(r->step, r->frame > 0 ? r->frame : r->framesAccepted + 1, 0,
                                      r->refusalStatus);
        plainText = line.lastEvent;
    } else if (e.kind == Kind::RetryUnit) {
        // The whole download begins again: shown in the retry colour until frames flow.
        gate_.restart(e.target);
        line.answered = false;
        line.accepted = 0;
        line.frames = 0;
        line.estimate = {};
        line.lastEvent = texts_.unitRetry(e.nextAttempt, r->cause);
        plainText = line.lastEvent;
    } else if (e.kind == Kind::UnitFinished) {
        line.done = true;
        line.result = r->outcome;
        line.cause = r->cause;
        line.durationMs = r->elapsedMs;
        line.retries = r->retries;
        // A cancel's code would only say the outcome again, as a single download's last line
        // leaves it out.
        line.reason = r->outcome == Outcome::Completed ? QString()
                      : r->cause == Cause::Cancelled   ? QString()
                                                     : CauseName(r->cause) + QStringLiteral(" — ");
        if (r->outcome != Outcome::Completed)
            line.reason += texts_.cause(r->cause, r->step, r->framesAccepted + 1, r->attempts,
                                        style_.linkTimeoutMs);
        if (!r->error.detail.isEmpty() && !line.reason.isEmpty())
            line.reason += QStringLiteral(" (") + r->error.detail + QLatin1Char(')');
        if (r->frames > 0)
            line.frames = r->frames;
        line.accepted = r->framesAccepted;
        line.lastEvent.clear();
        line.attempts = e.unitAttempt;
        plainText =
            texts_.outcome(r->outcome) + QStringLiteral(" (%1 s)").arg(seconds(r->elapsedMs));
        if (e.unitAttempt > 1)
            plainText +=
                QStringLiteral(", ") +
                texts_.own(QT_TRANSLATE_NOOP("CliTexts", "%1 attempts")).arg(e.unitAttempt);
        if (!line.reason.isEmpty())
            plainText +=
                (r->cause == Cause::Cancelled ? QStringLiteral(": ") : QStringLiteral(" - ")) +
                line.reason;
    } else {
        return;
    }
    if (style_.terminal) {
        pacer_.changed();
        return;
    }
    plain(i, plainText);
    if (e.kind == Kind::UnitFinished && watch_)
        out_.write(watchLine() + QLatin1Char('\n'));
}

QString ProgressView::stateOf(const Line& line) const {
    if (line.done)
        return texts_.outcome(line.result) +
               (line.result == Outcome::Completed || line.cause == Cause::Cancelled
                    ? QString()
                    : QStringLiteral(": ") + CauseName(line.cause)) +
               QStringLiteral(" (%1 s)").arg(seconds(line.durationMs)) +
               (line.attempts > 1 ? QStringLiteral(", ") +
                                        texts_.own(QT_TRANSLATE_NOOP("CliTexts", "%1 attempts"))
                                            .arg(line.attempts)
                                  : QString());
    if (!line.lastEvent.isEmpty())
        return line.lastEvent;
    if (line.frames > 0)
        return {}; // the figures say it
    return line.answered ? text(QT_TRANSLATE_NOOP("MultiDownload", "linked"))
                         : text(QT_TRANSLATE_NOOP("MultiDownload", "waiting for the link"));
}

QString ProgressView::lineOf(std::size_t i, bool terminal) const {
    const Line& line = lines_[i];
    QString s = terminal ? PadToWidth(targets_[i].label, labelWidth()) + QLatin1Char(' ')
                         : targets_[i].label + QStringLiteral(": ");
    if (line.frames > 0) {
        ProgressFigures figures = FiguresOf(line.estimate, clock_.elapsed(), line.accepted,
                                            line.frames, style_.frameBytes, style_.imageBytes);
        if (line.done) {
            figures.kibPerSecond = 0;
            figures.leftMs.reset();
        }
        s += ProgressText(texts_, figures);
        if (!terminal)
            return s;
    }
    const QString state = stateOf(line);
    if (state.isEmpty())
        return s;
    return s + (line.frames > 0 ? QStringLiteral("  ") : QString()) + state;
}

QString ProgressView::watchLine() const {
    int completed = 0;
    int failed = 0;
    for (const Line& line : lines_) {
        completed += line.done && line.result == Outcome::Completed ? 1 : 0;
        failed += line.done && line.result != Outcome::Completed ? 1 : 0;
    }
    return text(QT_TRANSLATE_NOOP(
                    "MultiDownload",
                    "watching for printers to be plugged in (Ctrl-C ends): %1 completed, %2 "
                    "failed so far"))
        .arg(completed)
        .arg(failed);
}

void ProgressView::redraw() {
    QString block;
    if (drawnLines_ > 0)
        block += QStringLiteral("\033[%1A").arg(drawnLines_);
    const auto put = [&](QString s, Tone tone) {
        // A line that wraps would push the block down and break the redraw.
        if (style_.columns > 1 && DisplayWidth(s) >= style_.columns)
            s = CutToWidth(s, style_.columns);
        block += QStringLiteral("\r\033[K") + Paint(s, tone, style_.colour) + QLatin1Char('\n');
    };
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        const Tone tone = line.done
                              ? (line.result == Outcome::Completed ? Tone::Done : Tone::Failed)
                          : line.lastEvent.isEmpty() ? Tone::Plain
                                                     : Tone::Retrying;
        put(lineOf(i, true), tone);
    }
    if (watch_)
        put(watchLine(), Tone::Plain);
    drawnLines_ = static_cast<int>(lines_.size()) + (watch_ ? 1 : 0);
    out_.write(block);
}

void ProgressView::plain(std::size_t i, const QString& what) {
    out_.write(
        (what.isEmpty() ? lineOf(i, false) : targets_[i].label + QStringLiteral(": ") + what) +
        QLatin1Char('\n'));
}

void ProgressView::finished(int exitCode) {
    if (style_.terminal)
        pacer_.flush();
    const QStringList heads = {text(QT_TRANSLATE_NOOP("MultiDownload", "target")),
                               text(QT_TRANSLATE_NOOP("MultiDownload", "result")),
                               text(QT_TRANSLATE_NOOP("MultiDownload", "seconds")),
                               text(QT_TRANSLATE_NOOP("MultiDownload", "retries")),
                               text(QT_TRANSLATE_NOOP("MultiDownload", "reason"))};
    std::vector<QStringList> rows;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        rows.push_back({targets_[i].label, texts_.outcome(line.result), seconds(line.durationMs),
                        QString::number(line.retries),
                        line.result == Outcome::Completed ? QString() : line.reason});
    }
    std::vector<int> widths;
    for (const QString& h : heads)
        widths.push_back(DisplayWidth(h));
    for (const QStringList& row : rows)
        for (int c = 0; c < row.size(); ++c)
            widths[static_cast<std::size_t>(c)] =
                std::max(widths[static_cast<std::size_t>(c)], DisplayWidth(row[c]));
    const auto format = [&](const QStringList& row, Tone tone) {
        QString s;
        for (int c = 0; c < row.size(); ++c) {
            if (c > 0)
                s += QStringLiteral("  ");
            QString cell = c + 1 < row.size()
                               ? PadToWidth(row[c], widths[static_cast<std::size_t>(c)])
                               : row[c];
            s += c == 1 ? Paint(cell, tone, style_.colour) : cell;
        }
        while (s.endsWith(QLatin1Char(' ')))
            s.chop(1);
        return s + QLatin1Char('\n');
    };
    QString table = QStringLiteral("\n") + format(heads, Tone::Plain);
    for (std::size_t i = 0; i < rows.size(); ++i)
        table +=
            format(rows[i], lines_[i].result == Outcome::Completed ? Tone::Done : Tone::Failed);
    // What to do, once for each cause that ended a printer's download.
    std::vector<Cause> told;
    for (const Line& line : lines_) {
        if (line.result == Outcome::Completed ||
            std::find(told.begin(), told.end(), line.cause) != told.end())
            continue;
        told.push_back(line.cause);
        if (const QString remedy = texts_.remedy(line.cause); !remedy.isEmpty())
            table += CauseName(line.cause) + QStringLiteral(": ") + remedy + QLatin1Char('\n');
    }
    int completed = 0;
    for (const Line& line : lines_)
        completed += line.result == Outcome::Completed ? 1 : 0;
    table += text(QT_TRANSLATE_NOOP("MultiDownload", "%1 of %2 completed, exit code %3"))
                 .arg(completed)
                 .arg(lines_.size())
                 .arg(exitCode) +
             QLatin1Char('\n');
    out_.write(table);
}

} // namespace posflash
