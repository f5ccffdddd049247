#pragma once

#include <QObject>
#include <QString>
#include <QThread>

#include <functional>

namespace posflash {

// Slow work (a file, a server) kept off the window's thread: a thread of its own that does
// what it is given in the order given, each answer handed back on its owner's thread. The
// destructor waits for the work under way; answers not yet delivered are dropped.
class WorkerThread {
public:
    WorkerThread(const QString& name, QObject* owner,
                 QThread::Priority priority = QThread::InheritPriority);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // work runs on the thread; then gets its result on the owner's thread.
    template <class Result>
    void run(std::function<Result()> work, std::function<void(const Result&)> then) {
        post([owner = owner_, work = std::move(work), then = std::move(then)] {
            Result result = work();
            // Queued to the owner: it outlives this thread, and an answer still queued when
            // it goes goes with it.
            QMetaObject::invokeMethod(
                owner, [then, result] { then(result); }, Qt::QueuedConnection);
        });
    }

private:
    void post(std::function<void()> job);

    QObject* owner_;
    QThread thread_;
    QObject* worker_; // lives on thread_
};

} // namespace posflash
