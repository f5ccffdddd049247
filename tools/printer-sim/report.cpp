#include "printer-sim/report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace posflash::sim {

namespace {

QString kindName(std::uint8_t kind) {
    return kind == kProgram ? QStringLiteral("program")
           : kind == kFont  ? QStringLiteral("font")
                            : QStringLiteral("none");
}

QJsonObject sessionJson(const SessionRecord& session) {
    QJsonObject copies;
    for (const auto& [frameNo, count] : session.frameCopies)
        copies.insert(QString::number(frameNo), count);
    return {
        {"kind", kindName(session.kind)},
        {"kind_byte", session.kind},
        {"image_length", static_cast<qint64>(session.imageLength)},
        {"image_crc", session.imageCrc},
        {"crc_ok", session.crcOk ? QJsonValue(*session.crcOk) : QJsonValue()},
        {"completed", session.completed},
        {"frame_copies", copies},
    };
}

} // namespace

std::int64_t Percentile(std::vector<std::int64_t> samples, int percent) {
    if (samples.empty())
        return 0;
    // Rank ceil(p/100 * n), counted from 1.
    const std::size_t rank = (samples.size() * static_cast<std::size_t>(percent) + 99) / 100;
    const std::size_t index = std::clamp<std::size_t>(rank, 1, samples.size()) - 1;
    std::nth_element(samples.begin(), samples.begin() + static_cast<std::ptrdiff_t>(index),
                     samples.end());
    return samples[index];
}

QByteArray ReportJson(const BootLoader& loader, const ReportAddition& addition) {
    const Stats& stats = loader.stats();
    QJsonArray sessions;
    for (const SessionRecord& session : stats.completedSessions)
        sessions.append(sessionJson(session));
    QJsonArray samples;
    for (const std::int64_t us : stats.toolTimeUs)
        samples.append(static_cast<qint64>(us));
    const auto& times = stats.toolTimeUs;
    const QJsonObject timing{
        {"count", static_cast<qint64>(times.size())},
        {"median", static_cast<qint64>(Percentile(times, 50))},
        {"p99", static_cast<qint64>(Percentile(times, 99))},
        {"max",
         static_cast<qint64>(times.empty() ? 0 : *std::max_element(times.begin(), times.end()))},
        {"samples", samples},
    };
    QJsonObject report{
        {"sessions_completed", static_cast<qint64>(stats.completedSessions.size())},
        {"start_frames", stats.startFrames},
        {"data_frames", stats.dataFrames},
        {"end_frames", stats.endFrames},
        {"final_frames", stats.finalFrames},
        {"other_frames", stats.otherFrames},
        {"replies_sent", stats.repliesSent},
        {"last_session", sessionJson(loader.currentSession())},
        {"sessions", sessions},
        {"errors", QJsonArray::fromStringList(addition.errors + stats.errors)},
        {"errors_not_listed", static_cast<qint64>(stats.errorsNotListed)},
        {"tool_time_per_frame_us", timing},
    };
    for (auto it = addition.fields.begin(); it != addition.fields.end(); ++it)
        report.insert(it.key(), it.value());
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

QString SessionSummary(const SessionRecord& session, std::size_t number, std::size_t errors) {
    int copies = 0;
    for (const auto& entry : session.frameCopies)
        copies += entry.second;
    return QStringLiteral("SESSION %1 %2 %3 bytes, CRC %4, %5 data frames in %6 copies, %7 errors")
        .arg(number)
        .arg(kindName(session.kind))
        .arg(session.imageLength)
        .arg(session.crcOk.value_or(false) ? QStringLiteral("ok") : QStringLiteral("BAD"))
        .arg(session.frameCopies.size())
        .arg(copies)
        .arg(errors);
}

} // namespace posflash::sim
