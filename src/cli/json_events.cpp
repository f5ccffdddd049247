#include "cli/json_events.h"

#include "cli/terminal_output.h"
#include "protocol/reply_checker.h"

#include <QJsonDocument>

namespace posflash {

namespace {

double secondsOf(qint64 ms) {
    return static_cast<double>(ms) / 1000.0;
}

QString stepName(short step) {
    switch (step) {
    case step::kStartFrame:
        return QStringLiteral("start");
    case step::kDataFrame:
        return QStringLiteral("data");
    case step::kEndFrame:
        return QStringLiteral("end");
    case step::kFinalFrame:
        return QStringLiteral("final");
    default:
        return QStringLiteral("link");
    }
}

} // namespace

JsonEventView::JsonEventView(TerminalOutput& out, TerminalOutput& err, const Faces& faces,
                             std::vector<MultiTarget> targets, int linkTimeoutMs, bool watch)
    : out_(out), err_(err), texts_(faces), linkTimeoutMs_(linkTimeoutMs),
      targets_(std::move(targets)), results_(targets_.size(), Outcome::Cancelled) {
    if (watch)
        write(QJsonObject{{"event", "watching"}, {"t", 0.0}});
}

QString JsonErrorLine(Outcome outcome, const QString& cause, const QString& message,
                      const QString& remedy, int exitCode) {
    const QJsonObject o{{"event", "error"},
                        {"outcome", OutcomeName(outcome)},
                        {"cause", cause},
                        {"message", message},
                        {"remedy", remedy.isEmpty() ? QJsonValue() : QJsonValue(remedy)},
                        {"exit", exitCode}};
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
}

void JsonEventView::write(const QJsonObject& object) {
    out_.write(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) +
               QLatin1Char('\n'));
}

void JsonEventView::event(const TargetEvent& e) {
    lastMs_ = std::max(lastMs_, e.ms);
    QJsonObject o{{"t", secondsOf(e.ms)},
                  {"target", targets_[static_cast<std::size_t>(e.target)].label}};
    switch (e.kind) {
    case TargetEvent::Kind::Start:
        o["event"] = "start";
        break;
    case TargetEvent::Kind::Linked:
        o["event"] = "linked";
        break;
    case TargetEvent::Kind::Progress:
        o["event"] = "progress";
        o["accepted"] = e.accepted;
        o["frames"] = e.frames;
        o["bytes"] = static_cast<qint64>(e.accepted) * e.frameBytes;
        break;
    case TargetEvent::Kind::Retry:
    case TargetEvent::Kind::Refused:
        o["event"] = e.kind == TargetEvent::Kind::Retry ? "retry" : "refused";
        o["step"] = stepName(e.step);
        if (e.step == step::kDataFrame)
            o["frame"] = e.accepted + 1;
        // The attempt about to be made; 0 after a refusal that ended the download.
        o["attempt"] = e.attempt;
        if (e.kind == TargetEvent::Kind::Refused)
            o["status"] = e.status;
        o["cause"] = CauseName(e.cause);
        break;
    case TargetEvent::Kind::Done:
        o["event"] = "done";
        o["result"] = OutcomeName(e.result);
        o["seconds"] = secondsOf(e.durationMs);
        o["frames"] = e.frames;
        o["accepted"] = e.accepted;
        o["retries"] = e.retries;
        o["crc16"] = e.crc16 >= 0 ? QJsonValue(e.crc16) : QJsonValue();
        o["cause"] = CauseName(e.cause);
        o["reason"] = e.result == Outcome::Completed ? QString()
                                                     : texts_.cause(e.cause, e.step, e.accepted + 1,
                                                                    e.attempt, linkTimeoutMs_);
        o["detail"] = e.detail.isEmpty() ? QJsonValue() : QJsonValue(e.detail);
        o["remedy"] =
            e.result == Outcome::Completed ? QJsonValue() : QJsonValue(texts_.remedy(e.cause));
        o["attempts"] = e.unitAttempts;
        results_[static_cast<std::size_t>(e.target)] = e.result;
        break;
    case TargetEvent::Kind::RetryUnit:
        o["event"] = "retry_unit";
        o["attempt"] = e.nextAttempt;
        o["cause"] = CauseName(e.cause);
        o["reason"] = texts_.cause(e.cause, e.step, e.accepted + 1, e.attempt, linkTimeoutMs_);
        o["detail"] = e.detail.isEmpty() ? QJsonValue() : QJsonValue(e.detail);
        break;
    }
    write(o);
}

void JsonEventView::targetAdded(const MultiTarget& target) {
    targets_.push_back(target);
    results_.push_back(Outcome::Cancelled);
}

void JsonEventView::finished(int exitCode) {
    QJsonObject counts{{"completed", 0}, {"failed", 0}, {"cancelled", 0}, {"refused", 0}};
    for (const Outcome r : results_) {
        const QString name = OutcomeName(r);
        counts[name] = counts[name].toInt() + 1;
    }
    QJsonObject o{{"event", "summary"},
                  {"t", secondsOf(lastMs_)},
                  {"targets", static_cast<int>(targets_.size())},
                  {"exit", exitCode}};
    for (auto it = counts.begin(); it != counts.end(); ++it)
        o[it.key()] = it.value();
    write(o);
}

} // namespace posflash
