#include "history/history_writer.h"

#include <QUuid>

#include <optional>

namespace posflash {

// The store, made on the writer's thread at its first use.
class HistoryWriter::Worker : public QObject {
public:
    Worker(QString filePath, HistoryStore::Options options)
        : filePath_(std::move(filePath)), options_(std::move(options)) {}
    HistoryStore& store() {
        if (!store_)
            store_.emplace(filePath_, options_);
        return *store_;
    }

private:
    QString filePath_;
    HistoryStore::Options options_;
    std::optional<HistoryStore> store_;
};

HistoryWriter::HistoryWriter(QString filePath, HistoryStore::Options options, QObject* parent)
    : QObject(parent), filePath_(filePath), worker_(new Worker(std::move(filePath), options)) {
    thread_.setObjectName(QStringLiteral("history writer"));
    worker_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_.start();
}

HistoryWriter::~HistoryWriter() {
    // Every write lands before the thread ends; the store goes on its own thread.
    QMetaObject::invokeMethod(
        worker_, [] {}, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void HistoryWriter::write(HistoryRecord record) {
    if (record.uuid.isEmpty())
        record.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QMetaObject::invokeMethod(worker_, [this, record = std::move(record)] {
        const HistoryWrite landing = worker_->store().add(record);
        {
            const std::lock_guard<std::mutex> guard(lock_);
            landings_.push_back(landing);
        }
        QMetaObject::invokeMethod(this, &HistoryWriter::tellLandings, Qt::QueuedConnection);
    });
}

void HistoryWriter::replayJournal() {
    QMetaObject::invokeMethod(worker_, [this] { (void)worker_->store().replayJournal(); });
}

void HistoryWriter::finish() {
    QMetaObject::invokeMethod(
        worker_, [] {}, Qt::BlockingQueuedConnection);
    tellLandings();
}

void HistoryWriter::tellLandings() {
    std::vector<HistoryWrite> told;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        told.swap(landings_);
    }
    for (const HistoryWrite& landing : told)
        if (landed)
            landed(landing);
}

} // namespace posflash
