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
        switch (e.kind) {
        case Kind::Started:
            events << "started";
            break;
        case Kind::Linking:
            events << "linking";
            if (onLinking)
                onLinking();
            break;
        case Kind::Linked:
            events << "linked";
            break;
        case Kind::NoGreeting:
            events << "noGreeting " + e.address;
            break;
        case Kind::OtherSender:
            events << "otherAddress " + e.address;
            break;
        case Kind::FrameSent:
            if (e.frame > 0 && e.attempt == 1) {
                events << QStringLiteral("dataFrame %1/%2").arg(e.frame - 1).arg(e.frames);
                if (onDataFrame)
                    onDataFrame(e.frame - 1);
            }
            break;
        case Kind::Retrying:
            retries.push_back(e);
            break;
        case Kind::Closing:
            events << "closing";
            break;
        case Kind::TransferEnded:
            events << QStringLiteral("transferEnded %1/%2")
                          .arg(OutcomeName(e.result->outcome), CauseName(e.result->cause));
            break;
        case Kind::Finished:
            events << "finished";
            result = *e.result;
            break;
        default:
            break;
        }
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
