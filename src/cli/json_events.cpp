#include "cli/json_events.h"

#include "base/named_values.h"

#include "protocol/reply_checker.h"

#include <QJsonDocument>

namespace posflash {

namespace {

double secondsOf(qint64 ms) {
    return static_cast<double>(ms) / 1000.0;
}

constexpr NamedValue<short> kStepNames[] = {{step::kStartFrame, "start"},
                                            {step::kDataFrame, "data"},
                                            {step::kEndFrame, "end"},
                                            {step::kFinalFrame, "final"}};

QString stepName(short step) {
    return QString::fromLatin1(NameIn(kStepNames, step, "link"));
}

} // namespace

QString JsonErrorLine(Outcome outcome, const QString& cause, const QString& message,
                      const QString& remedy, int exitCode) {
    const QJsonObject o{{"event", "error"},
                        {"outcome", OutcomeName(outcome)},
                        {"cause", cause},
                        {"message", message},
                        {"remedy", remedy.isEmpty() ? QJsonValue() : QJsonValue(remedy)},
                        {"exit", exitCode}};
    return JsonLine(o);
}

QString JsonLine(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) +
           QLatin1Char('\n');
}

std::optional<QJsonObject> JsonEventOf(const DownloadEvent& e, const QString& target,
                                       const CauseTexts& texts, int linkTimeoutMs, int frameBytes) {
    using Kind = DownloadEvent::Kind;
    const bool progress = e.movesProgress();
    const DownloadResult* r = e.result;
    // A refusal that ended the download is one no retry reported.
    const bool lastRefusal = e.kind == Kind::TransferEnded && r->cause == Cause::PrinterRefused;
    if (!progress && !lastRefusal && e.kind != Kind::UnitStarted && e.kind != Kind::Linked &&
        e.kind != Kind::Retrying && e.kind != Kind::RetryUnit && e.kind != Kind::UnitFinished)
        return std::nullopt;
    QJsonObject o{{"t", secondsOf(e.ms)}, {"target", target}};
    const auto retry = [&](bool refused, short step, int frame, int attempt, int status,
                           Cause cause) {
        o["event"] = refused ? "refused" : "retry";
        o["step"] = stepName(step);
        if (step == step::kDataFrame)
            o["frame"] = frame;
        // The frame's resend about to be made (from 1); 0 after a refusal that ended the
        // download. "attempt" (the send's number, 0 at the end) stays for one version.
        o["resend"] = attempt > 0 ? attempt - 1 : 0;
        o["attempt"] = attempt;
        if (refused)
            o["status"] = status;
        o["cause"] = CauseName(cause);
    };
    if (progress) {
        o["event"] = "progress";
        o["accepted"] = e.accepted;
        o["frames"] = e.frames;
        o["bytes"] = static_cast<qint64>(e.accepted) * frameBytes;
    } else if (lastRefusal) {
        retry(true, r->step, r->frame > 0 ? r->frame : r->framesAccepted + 1, 0, r->refusalStatus,
              r->cause);
    } else if (e.kind == Kind::UnitStarted) {
        o["event"] = "start";
    } else if (e.kind == Kind::Linked) {
        o["event"] = "linked";
    } else if (e.kind == Kind::Retrying) {
        retry(e.status != 0, e.step, e.frame > 0 ? e.frame : e.accepted + 1, e.attempt, e.status,
              e.cause);
    } else if (e.kind == Kind::UnitFinished) {
        const bool completed = r->outcome == Outcome::Completed;
        o["event"] = "done";
        o["result"] = OutcomeName(r->outcome);
        o["seconds"] = secondsOf(r->elapsedMs);
        o["frames"] = r->frames;
        o["accepted"] = r->framesAccepted;
        o["resends"] = r->retries;
        o["retries"] = r->retries; // the old name of resends, for one version
        o["crc16"] = r->crc16 >= 0 ? QJsonValue(r->crc16) : QJsonValue();
        o["cause"] = CauseName(r->cause);
        o["reason"] = completed ? QString()
                                : texts.cause(r->cause, r->step, r->framesAccepted + 1, r->attempts,
                                              linkTimeoutMs);
        o["detail"] = r->error.detail.isEmpty() ? QJsonValue() : QJsonValue(r->error.detail);
        o["remedy"] = completed ? QJsonValue() : QJsonValue(texts.remedy(r->cause));
        o["attempts"] = e.unitAttempt;
    } else {
        o["event"] = "retry_unit";
        o["attempt"] = e.nextAttempt;
        o["cause"] = CauseName(r->cause);
        o["reason"] =
            texts.cause(r->cause, r->step, r->framesAccepted + 1, r->attempts, linkTimeoutMs);
        o["detail"] = r->error.detail.isEmpty() ? QJsonValue() : QJsonValue(r->error.detail);
    }
    return o;
}

QJsonObject JsonSummaryOf(const std::vector<Outcome>& results, qint64 lastMs, int exitCode) {
    QJsonObject counts{{"completed", 0}, {"failed", 0}, {"cancelled", 0}, {"refused", 0}};
    for (const Outcome r : results) {
        const QString name = OutcomeName(r);
        counts[name] = counts[name].toInt() + 1;
    }
    QJsonObject o{{"event", "summary"},
                  {"t", secondsOf(lastMs)},
                  {"targets", static_cast<int>(results.size())},
                  {"exit", exitCode}};
    for (auto it = counts.begin(); it != counts.end(); ++it)
        o[it.key()] = it.value();
    return o;
}

} // namespace posflash
