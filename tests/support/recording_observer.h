#pragma once

#include "download/download_observer.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace posflash::testing {

// Remembers what a download told it, as short lines ("dataFrame 1/3",
// "transferEnded cancelled/cancelled"), and its result.
class RecordingObserver : public DownloadObserver {
public:
    void started() override { events << "started"; }
    void linking() override {
        events << "linking";
        if (onLinking)
            onLinking();
    }
    void linked() override { events << "linked"; }
    void answeredWithoutGreeting(const QString& requester, const QString&) override {
        events << "noGreeting " + requester;
    }
    void linkFromOtherAddress(const QString& sender, const QString&) override {
        events << "otherAddress " + sender;
    }
    void dataFrame(int index, int total) override {
        events << QStringLiteral("dataFrame %1/%2").arg(index).arg(total);
        if (onDataFrame)
            onDataFrame(index);
    }
    void retrying(const RetryEvent& retry) override { retries.push_back(retry); }
    void closing() override { events << "closing"; }
    void transferEnded(const DownloadResult& r) override {
        events << QStringLiteral("transferEnded %1/%2")
                      .arg(OutcomeName(r.outcome), CauseName(r.cause));
    }
    void finished(const DownloadResult& r) override {
        events << "finished";
        result = r;
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
    std::function<void(int index)> onDataFrame;
    QStringList events;
    std::vector<RetryEvent> retries;
    std::optional<DownloadResult> result;
};

} // namespace posflash::testing
