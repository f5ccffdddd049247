#include "line/worker_thread.h"

namespace posflash {

WorkerThread::WorkerThread(const QString& name, QObject* owner, QThread::Priority priority)
    : owner_(owner), worker_(new QObject) {
    thread_.setObjectName(name);
    worker_->moveToThread(&thread_);
    thread_.start(priority);
}

WorkerThread::~WorkerThread() {
    thread_.quit();
    thread_.wait();
    delete worker_;
}

void WorkerThread::post(std::function<void()> job) {
    QMetaObject::invokeMethod(worker_, std::move(job), Qt::QueuedConnection);
}

} // namespace posflash
