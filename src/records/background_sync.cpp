#include "records/background_sync.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <atomic>
#include <mutex>

namespace posflash {

// What a pass's thread and its owner share: the owner, while it lives. A thread that outlives
// it (blocked in libpq) tells no one.
struct BackgroundSync::Shared {
    std::mutex lock;
    BackgroundSync* owner = nullptr;
    // Pass threads not yet ended, their connection's teardown included.
    std::atomic<int> threads{0};
};

BackgroundSync::BackgroundSync(QString historyPath, Options options, QObject* parent)
    : QObject(parent), historyPath_(std::move(historyPath)), options_(options),
      shared_(std::make_shared<Shared>()) {
    shared_->owner = this;
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &BackgroundSync::syncNow);
}

BackgroundSync::~BackgroundSync() {
    const std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->owner = nullptr;
}

Status BackgroundSync::start(const QString& address) {
    const Result<RecordsAddress> parsed = ParseRecordsAddress(address);
    if (!parsed)
        return parsed.error();
    address_ = *parsed;
    started_ = true;
    syncNow();
    return {};
}

void BackgroundSync::syncNow() {
    if (!started_)
        return;
    if (running_) {
        again_ = true;
        return;
    }
    retry_.stop();
    runPass();
}

void BackgroundSync::runPass() {
    running_ = true;
    again_ = false;
    connected_ = false;
    passClock_.start();
    // A thread per pass: Qt SQL connections belong to the thread that made them, and one left
    // behind in a blocked connect holds nothing of the next.
    QThread* thread = QThread::create(
        [shared = shared_, address = address_, path = historyPath_, rows = options_.batchRows] {
            // Told on the owner's thread, while it lives.
            const auto tell = [&shared](auto call) {
                const std::lock_guard<std::mutex> guard(shared->lock);
                if (BackgroundSync* owner = shared->owner)
                    QMetaObject::invokeMethod(
                        owner, [owner, call] { call(owner); }, Qt::QueuedConnection);
            };
            {
                RecordsSync sync(
                    address, path,
                    {rows,
                     [&tell](int sent) {
                         tell([sent](BackgroundSync* owner) { emit owner->batchSent(sent); });
                     },
                     [&tell] { tell([](BackgroundSync* owner) { owner->connected_ = true; }); }});
                const SyncOutcome outcome = sync.pass();
                tell([outcome](BackgroundSync* owner) { owner->passDone(outcome); });
            }
            --shared->threads;
        });
    ++shared_->threads;
    thread->setObjectName(QStringLiteral("records sync"));
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start(QThread::LowPriority);
}

void BackgroundSync::passDone(const SyncOutcome& outcome) {
    running_ = false;
    last_ = outcome;
    sentInAll_ += outcome.sent;
    const bool sent = outcome.status.ok();
    if (sent)
        retryMs_ = 0;
    emit passEnded(outcome);
    emit stateChanged(status());
    if (again_ && sent) {
        runPass();
        return;
    }
    // A failed pass is not repeated at once: an outage waits for the retry (or the next ask),
    // a refusal for the next ask, since someone has to change the server or the address.
    again_ = false;
    if (HasTrouble(outcome.status, records_trouble::kOffline) && options_.retryFirstMs > 0) {
        retryMs_ =
            retryMs_ == 0 ? options_.retryFirstMs : std::min(retryMs_ * 2, options_.retryMaxMs);
        retry_.start(retryMs_);
    }
    emit idle();
}

std::function<bool()> BackgroundSync::threadsWatch() const {
    return [shared = shared_] { return shared->threads.load() > 0; };
}

qint64 BackgroundSync::unansweredMs() const {
    return running_ && !connected_ ? passClock_.elapsed() : 0;
}

bool BackgroundSync::waitIdle(int timeoutMs) {
    if (!busy())
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &BackgroundSync::idle, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    loop.exec();
    return !busy();
}

QString BackgroundSync::status() const {
    static constexpr struct {
        int trouble;
        const char* text;
    } kTexts[] = {
        {records_trouble::kOffline, QT_TRANSLATE_NOOP("BackgroundSync", "records: offline")},
        {records_trouble::kLoginRefused,
         QT_TRANSLATE_NOOP("BackgroundSync", "records: login refused")},
        {records_trouble::kNoDatabase,
         QT_TRANSLATE_NOOP("BackgroundSync", "records: no such database")},
        {records_trouble::kNotSetUp,
         QT_TRANSLATE_NOOP("BackgroundSync", "records: server not set up")},
        {records_trouble::kDenied, QT_TRANSLATE_NOOP("BackgroundSync", "records: not allowed")},
        {records_trouble::kLocal,
         QT_TRANSLATE_NOOP("BackgroundSync", "records: local history unreadable")},
    };
    const auto text = [](const char* english) {
        return QCoreApplication::translate("BackgroundSync", english);
    };
    const Status& status = last_.status;
    // A row the server refused is kept but not on the line: the header says so until it is.
    if (HasTrouble(status, records_trouble::kRowRefused) ||
        (status.ok() && last_.setAsideInAll > 0))
        return text(QT_TRANSLATE_NOOP("BackgroundSync", "records: %1 set aside"))
            .arg(last_.setAsideInAll);
    if (status.ok())
        return sentInAll_ > 0
                   ? text(QT_TRANSLATE_NOOP("BackgroundSync", "records: sent %1")).arg(sentInAll_)
                   : text(QT_TRANSLATE_NOOP("BackgroundSync", "records: ok"));
    for (const auto& entry : kTexts)
        if (HasTrouble(status, entry.trouble))
            return text(entry.text);
    return {};
}

} // namespace posflash
