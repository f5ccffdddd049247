#pragma once

#include "download/download_event.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace posflash::testing {

// Remembers what a download told it, as short lines ("dataFrame 1/3" as data frame index 1
// goes out, "transferEnded cancelled/cancelled"), its retries and its result.
class RecordingObserver : public DownloadObserver {
public:
    void onEvent(const DownloadEvent& e) override {
        using Kind = DownloadEvent::Kind;
        const DownloadResult* r = e.result;
        if (e.kind == Kind::Started)
            events << "started";
        else if (e.kind == Kind::Linking)
            events << "linking";
        else if (e.kind == Kind::Linked)
            events << "linked";
        else if (e.kind == Kind::NoGreeting)
            events << "noGreeting " + e.address;
        else if (e.kind == Kind::OtherSender)
            events << "otherAddress " + e.address;
        else if (e.kind == Kind::FrameSent && e.frame > 0 && e.attempt == 1)
            events << QStringLiteral("dataFrame %1/%2").arg(e.frame - 1).arg(e.frames);
        else if (e.kind == Kind::Closing)
            events << "closing";
        else if (e.kind == Kind::TransferEnded)
            events << "transferEnded " + OutcomeName(r->outcome) + "/" + CauseName(r->cause);
        else if (e.kind == Kind::Finished)
            events << "finished";
        else if (e.kind == Kind::Retrying)
            retries.push_back(e);
        if (e.kind == Kind::Finished)
            result = *r;
        if (e.kind == Kind::Linking && onLinking)
            onLinking();
        if (e.kind == Kind::FrameSent && e.frame > 0 && e.attempt == 1 && onDataFrame)
            onDataFrame(e.frame - 1);
    }

    // Forgets what it heard; the hooks stay.
    void clear() {
        events.clear();
        retries.clear();
        result.reset();
    }
    bool done() const { return result.has_value(); }
    QString outcome() const {
        return result ? OutcomeName(result->outcome) + "/" + CauseName(result->cause) : QString();
    }

    std::function<void()> onLinking;
    // Data frame index has gone out (its first attempt).
    std::function<void(int index)> onDataFrame;
    QStringList events;
    std::vector<DownloadEvent> retries;
    std::optional<DownloadResult> result;
};

} // namespace posflash::testing
