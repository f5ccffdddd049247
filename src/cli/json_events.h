#pragma once

#include "download/download_event.h"
#include "unit/cause_texts.h"

#include <QJsonObject>

#include <optional>
#include <vector>

namespace posflash {

// A printer's event as an object of the JSON Lines on standard output, with "event", "target"
// and "t" (seconds since the run began); none for an event they leave out. The schema is
// docs/events.schema.json.
std::optional<QJsonObject> JsonEventOf(const DownloadEvent& e, const QString& target,
                                       const CauseTexts& texts, int linkTimeoutMs, int frameBytes);

// The last object: how many printers ended each way, lastMs the last event's time.
QJsonObject JsonSummaryOf(const std::vector<Outcome>& results, qint64 lastMs, int exitCode);

// One object as a line of JSON Lines.
QString JsonLine(const QJsonObject& object);

// The one object of a run that ends before any download begins (a usage error, a refused
// image, a port that is not there): {"event":"error","outcome":"refused","cause":"bad-trailer",
// "message":...,"remedy":...,"exit":2}. cause is a cause code, or "usage" for a command line
// that could not be understood; remedy is null when there is nothing to add.
QString JsonErrorLine(Outcome outcome, const QString& cause, const QString& message,
                      const QString& remedy, int exitCode);

} // namespace posflash
