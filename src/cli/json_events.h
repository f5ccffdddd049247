#pragma once

#include "cli/cause_texts.h"
#include "fleet/multi_download.h"

#include <QJsonObject>

#include <vector>

namespace posflash {

class Faces;
class TerminalOutput;

// A download to several printers as JSON Lines on standard output: one object per event, each
// with "event", "target" and "t" (seconds since the run began), and a "summary" object last.
// The schema is docs/cli-events.schema.json.
class JsonEventView : public MultiEventSink {
public:
    JsonEventView(TerminalOutput& out, TerminalOutput& err, const Faces& faces,
                  std::vector<MultiTarget> targets, int linkTimeoutMs);

    void event(const TargetEvent& e) override;
    void finished(int exitCode) override;
    void targetAdded(const MultiTarget& target) override;

private:
    void write(const QJsonObject& object);

    TerminalOutput& out_;
    TerminalOutput& err_;
    CauseTexts texts_;
    int linkTimeoutMs_;
    std::vector<MultiTarget> targets_;
    std::vector<Outcome> results_;
    qint64 lastMs_ = 0;
};

} // namespace posflash
