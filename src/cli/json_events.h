#pragma once

#include "cli/progress_gate.h"
#include "fleet/cause_texts.h"
#include "fleet/multi_download.h"

#include <QJsonObject>

#include <vector>

namespace posflash {

class Faces;
class TerminalOutput;

// A download to several printers as JSON Lines on standard output: one object per event, each
// with "event", "target" and "t" (seconds since the run began), and a "summary" object last;
// a watch begins with a "watching" object. The schema is docs/events.schema.json.
class JsonEventView : public MultiEventSink {
public:
    JsonEventView(TerminalOutput& out, TerminalOutput& err, const Faces& faces,
                  std::vector<MultiTarget> targets, int linkTimeoutMs, int frameBytes,
                  bool watch = false);

    void onEvent(const DownloadEvent& e) override;
    void finished(int exitCode) override;
    void targetAdded(const MultiTarget& target) override;

private:
    void write(const QJsonObject& object);

    TerminalOutput& out_;
    TerminalOutput& err_;
    CauseTexts texts_;
    int linkTimeoutMs_;
    int frameBytes_;
    ProgressGate gate_;
    std::vector<MultiTarget> targets_;
    std::vector<Outcome> results_;
    qint64 lastMs_ = 0;
};

// The one object of a run that ends before any download begins (a usage error, a refused
// image, a port that is not there): {"event":"error","outcome":"refused","cause":"bad-trailer",
// "message":...,"remedy":...,"exit":2}. cause is a cause code, or "usage" for a command line
// that could not be understood; remedy is null when there is nothing to add.
QString JsonErrorLine(Outcome outcome, const QString& cause, const QString& message,
                      const QString& remedy, int exitCode);

} // namespace posflash
