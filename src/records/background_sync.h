#pragma once

#include "base/error.h"
#include "history/history_store.h"
#include "records/records_sync.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace posflash {

struct BackgroundSyncOptions {
    // After an outage, the next pass comes after this, doubling up to retryMaxMs; 0: only
    // when asked (a short-lived command).
    int retryFirstMs = 0;
    int retryMaxMs = 300000;
    int batchRows = 500;
};

// The sync of one station's history to the line's database, off the caller's thread: a front
// end owns one, starts it with the address, asks for a pass after each history write, and
// shows its short status (ok, sent N, offline, login refused). Nothing it does waits on the
// network on the caller's thread. A pass that blocks in libpq when this goes away is left to
// end on its own thread (within the address's connect_timeout); what it did not send stays
// for the next sync.
class BackgroundSync : public QObject {
    Q_OBJECT
public:
    using Options = BackgroundSyncOptions;

    explicit BackgroundSync(QString historyPath = HistoryStore::defaultPath(), Options options = {},
                            QObject* parent = nullptr);
    BackgroundSync(QString historyPath, QObject* parent)
        : BackgroundSync(std::move(historyPath), Options{}, parent) {}
    ~BackgroundSync() override;

    // Reads the address (a URI, key=value pairs or a service name) and starts a pass.
    Status start(const QString& address);
    // A pass after the one running, if any (several asks make one pass).
    void syncNow();
    // Whether a pass runs or is asked for.
    bool busy() const { return running_ || again_; }
    // How long the running pass has waited for the server to take it; 0 once it has, or when
    // no pass runs.
    qint64 unansweredMs() const;
    // Runs the event loop until no pass runs or timeoutMs is over; whether it went idle.
    bool waitIdle(int timeoutMs);
    // Whether a pass's thread still runs, answerable after this object is gone. A process must
    // not end normally under one: its statics (Qt SQL's connections among them) would go
    // while the thread still uses them.
    std::function<bool()> threadsWatch() const;

    // The last pass's outcome, and the status text for a header ("sent N": every row sent since
    // start).
    const SyncOutcome& last() const { return last_; }
    QString status() const;
    // The address as it may be shown (no password).
    QString shownAddress() const { return address_.shown(); }

signals:
    // After every pass, with status().
    void stateChanged(const QString& status);
    // After every pass, with its outcome.
    void passEnded(const posflash::SyncOutcome& outcome);
    // When no pass runs or is asked for.
    void idle();
    // During a pass, after each batch committed, with the rows this pass sent so far.
    void batchSent(int sent);

private:
    struct Shared;
    void runPass();
    void passDone(const SyncOutcome& outcome);

    QString historyPath_;
    Options options_;
    RecordsAddress address_;
    bool started_ = false;
    bool running_ = false;
    bool again_ = false;
    bool connected_ = false;
    QElapsedTimer passClock_;
    int retryMs_ = 0;
    SyncOutcome last_;
    qint64 sentInAll_ = 0; // by every pass since start: what the header counts
    QTimer retry_;
    std::shared_ptr<Shared> shared_;
};

} // namespace posflash
