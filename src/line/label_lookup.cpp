#include "line/label_lookup.h"

#include "history/history_store.h"

namespace posflash {

LabelLookup::LabelLookup(QString historyPath, QObject* parent)
    : QObject(parent), historyPath_(std::move(historyPath)) {}

void LabelLookup::ask(const QString& label) {
    thread_.run<Use>(
        [label, path = historyPath_] {
            HistoryFilter filter;
            filter.label = label;
            filter.limit = 1;
            HistoryStore store(path);
            const auto found = store.find(filter);
            if (!found || found->empty())
                return Use{};
            return Use{true, found->front().station, found->front().startedAt};
        },
        [this, label](const Use& use) {
            emit answered(label, use.known, use.station, use.startedAt);
        });
}

} // namespace posflash
