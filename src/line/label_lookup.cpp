#include "line/label_lookup.h"

#include "history/history_store.h"

namespace posflash {

LabelLookup::LabelLookup(QString historyPath, QObject* parent)
    : QObject(parent), historyPath_(std::move(historyPath)), worker_(new QObject) {
    thread_.setObjectName(QStringLiteral("label lookup"));
    worker_->moveToThread(&thread_);
    thread_.start(QThread::LowPriority);
}

LabelLookup::~LabelLookup() {
    thread_.quit();
    thread_.wait();
    delete worker_;
}

void LabelLookup::ask(const QString& label) {
    QMetaObject::invokeMethod(
        worker_,
        [this, label, path = historyPath_] {
            HistoryFilter filter;
            filter.label = label;
            filter.limit = 1;
            HistoryStore store(path);
            const auto found = store.find(filter);
            const bool known = found && !found->empty();
            const QString station = known ? found->front().station : QString();
            const QDateTime at = known ? found->front().startedAt : QDateTime();
            // Queued to this object: the destructor waits for this thread first, and an
            // answer still queued then goes with the object.
            QMetaObject::invokeMethod(
                this,
                [this, label, known, station, at] { emit answered(label, known, station, at); },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

} // namespace posflash
