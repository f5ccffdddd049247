#include "cli/progress_view.h"

#include "cli/terminal_output.h"
#include "protocol/reply_checker.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace posflash {

namespace {

QString clock(qint64 ms) {
    const qint64 s = (ms + 999) / 1000;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

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
                           std::vector<MultiTarget> targets, bool interactive, int columns,
                           int linkTimeoutMs)
    : out_(out), err_(err), texts_(faces), linkTimeoutMs_(linkTimeoutMs),
      targets_(std::move(targets)), lines_(targets_.size()), interactive_(interactive),
      columns_(columns) {
    for (const MultiTarget& t : targets_)
        labelWidth_ = std::max(labelWidth_, static_cast<int>(t.label.size()));
}

void ProgressView::targetAdded(const MultiTarget& target) {
    targets_.push_back(target);
    lines_.emplace_back();
    labelWidth_ = std::max(labelWidth_, static_cast<int>(target.label.size()));
    // One more line below the block, so that the next redraw, going up a line more, starts at
    // the block's first line again.
    if (interactive_ && drawn_)
        out_.write(QStringLiteral("\n"));
}

QString ProgressView::text(const char* english) const {
    return texts_.text(english);
}

QString ProgressView::eventText(const TargetEvent& e) const {
    switch (e.kind) {
    case TargetEvent::Kind::Start:
        return text("connecting");
    case TargetEvent::Kind::Linked:
        return text("linked");
    case TargetEvent::Kind::Retry:
    case TargetEvent::Kind::Refused:
        return texts_.retry(e.step, e.accepted + 1, e.attempt, e.status);
    default:
        return {};
    }
}

void ProgressView::event(const TargetEvent& e) {
    const auto i = static_cast<std::size_t>(e.target);
    Line& line = lines_[i];
    switch (e.kind) {
    case TargetEvent::Kind::Progress:
        line.estimate.update(e.ms, e.accepted, e.frames, e.frameBytes);
        line.accepted = e.accepted;
        line.frames = e.frames;
        if (!interactive_ && e.accepted != e.frames && line.plainPrintedMs >= 0 &&
            e.ms - line.plainPrintedMs < kPlainProgressEveryMs)
            return;
        line.plainPrintedMs = e.ms;
        break;
    case TargetEvent::Kind::Done:
        line.done = true;
        line.result = e.result;
        line.durationMs = e.durationMs;
        line.retries = e.retries;
        line.reason =
            e.result == Outcome::Completed
                ? QString()
                : CauseName(e.cause) + QStringLiteral(" — ") +
                      texts_.cause(e.cause, e.step, e.accepted + 1, e.attempt, linkTimeoutMs_);
        if (!e.detail.isEmpty() && !line.reason.isEmpty())
            line.reason += QStringLiteral(" (") + e.detail + QLatin1Char(')');
        if (e.frames > 0)
            line.frames = e.frames;
        line.accepted = e.accepted;
        line.lastEvent = texts_.outcome(e.result);
        break;
    default:
        line.lastEvent = eventText(e);
        break;
    }
    if (interactive_)
        redraw();
    else
        plain(i, e.kind == TargetEvent::Kind::Progress ? QString() : line.lastEvent);
}

QString ProgressView::lineOf(std::size_t i, bool withEvent) const {
    const Line& line = lines_[i];
    QString s = targets_[i].label.leftJustified(labelWidth_);
    if (line.frames > 0) {
        const int percent = line.accepted * 100 / line.frames;
        s += QStringLiteral(" %1%").arg(percent, 3);
        s += QStringLiteral("  ") + text("frame %1/%2").arg(line.accepted).arg(line.frames);
        if (!line.done) {
            if (line.estimate.kibPerSecond() > 0)
                s += QStringLiteral("  %1 KiB/s").arg(line.estimate.kibPerSecond(), 0, 'f', 1);
            if (const auto left = line.estimate.remainingMs())
                s += QStringLiteral("  ") + text("%1 left").arg(clock(*left));
        }
    }
    if (line.done)
        s += QStringLiteral("  ") + texts_.outcome(line.result) +
             QStringLiteral(" (%1 s)").arg(seconds(line.durationMs));
    else if (withEvent && !line.lastEvent.isEmpty())
        s += QStringLiteral("  ") + line.lastEvent;
    return s;
}

void ProgressView::redraw() {
    QString block;
    if (drawn_)
        block += QStringLiteral("\033[%1A").arg(lines_.size());
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        QString s = lineOf(i);
        // A line that wraps would push the block down and break the redraw.
        if (columns_ > 1 && s.size() >= columns_)
            s.truncate(columns_ - 1);
        block += QStringLiteral("\r\033[K") + s + QLatin1Char('\n');
    }
    drawn_ = true;
    out_.write(block);
}

void ProgressView::plain(std::size_t i, const QString& what) {
    const Line& line = lines_[i];
    QString s = targets_[i].label + QStringLiteral(": ");
    if (!what.isEmpty())
        s += what;
    else
        s += lineOf(i, false).mid(labelWidth_).trimmed();
    if (line.done && !line.reason.isEmpty() && line.result != Outcome::Completed)
        s += QStringLiteral(" - ") + line.reason;
    out_.write(s + QLatin1Char('\n'));
}

void ProgressView::finished(int exitCode) {
    const QStringList heads = {text("target"), text("result"), text("seconds"), text("retries"),
                               text("reason")};
    std::vector<QStringList> rows;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        rows.push_back({targets_[i].label, texts_.outcome(line.result), seconds(line.durationMs),
                        QString::number(line.retries),
                        line.result == Outcome::Completed ? QString() : line.reason});
    }
    std::vector<int> widths;
    for (const QString& h : heads)
        widths.push_back(static_cast<int>(h.size()));
    for (const QStringList& row : rows)
        for (int c = 0; c < row.size(); ++c)
            widths[static_cast<std::size_t>(c)] =
                std::max(widths[static_cast<std::size_t>(c)], static_cast<int>(row[c].size()));
    const auto format = [&widths](const QStringList& row) {
        QString s;
        for (int c = 0; c < row.size(); ++c) {
            if (c > 0)
                s += QStringLiteral("  ");
            s += c + 1 < row.size() ? row[c].leftJustified(widths[static_cast<std::size_t>(c)])
                                    : row[c];
        }
        return s.trimmed() + QLatin1Char('\n');
    };
    QString table = QStringLiteral("\n") + format(heads);
    for (const QStringList& row : rows)
        table += format(row);
    int completed = 0;
    for (const Line& line : lines_)
        completed += line.result == Outcome::Completed ? 1 : 0;
    table +=
        text("%1 of %2 completed, exit code %3").arg(completed).arg(lines_.size()).arg(exitCode) +
        QLatin1Char('\n');
    out_.write(table);
}

} // namespace posflash
