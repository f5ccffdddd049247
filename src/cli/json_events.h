#pragma once

#include "cli/multi_download.h"

#include <QJsonObject>

#include <vector>

namespace posflash {

class TerminalOutput;

// A download to several printers as JSON Lines on standard output: one object per event, each
// with "event", "target" and "t" (seconds since the run began), and a "summary" object last.
// The schema is in the README.
class JsonEventView : public MultiEventSink {
public:
    JsonEventView(TerminalOutput& out, std::vector<MultiTarget> targets);

    void event(const TargetEvent& e) override;
    void finished(int exitCode) override;
    void targetAdded(const MultiTarget& target) override;

    static QString resultName(TargetResult r);

private:
    void write(const QJsonObject& object);

    TerminalOutput& out_;
    std::vector<MultiTarget> targets_;
    std::vector<TargetResult> results_;
    qint64 lastMs_ = 0;
};

} // namespace posflash
