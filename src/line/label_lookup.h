#pragma once

#include "line/worker_thread.h"

#include <QDateTime>
#include <QObject>
#include <QString>

namespace posflash {

// Where the station's history last gave a label to a unit, looked up on a thread of its own:
// the file may be large, slow or held by another process's writer, and the window must not wait
// for it. Answers not yet delivered when it goes are dropped.
class LabelLookup : public QObject {
    Q_OBJECT
public:
    explicit LabelLookup(QString historyPath, QObject* parent = nullptr);

    // Answered on this object's thread, in the order asked.
    void ask(const QString& label);

signals:
    // known: a unit got the label before, on station (empty when not recorded) at startedAt.
    // An unreadable history knows nothing.
    void answered(const QString& label, bool known, const QString& station,
                  const QDateTime& startedAt);

private:
    struct Use {
        bool known = false;
        QString station;
        QDateTime startedAt;
    };

    QString historyPath_;
    WorkerThread thread_{QStringLiteral("label lookup"), this, QThread::LowPriority};
};

} // namespace posflash
