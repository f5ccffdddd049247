#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThread>

namespace posflash {

// Where the station's history last gave a label to a unit, looked up on a thread of its own:
// the file may be large, slow or held by another process's writer, and the window must not wait
// for it.
class LabelLookup : public QObject {
    Q_OBJECT
public:
    explicit LabelLookup(QString historyPath, QObject* parent = nullptr);
    // Waits for a lookup under way; answers not yet delivered are dropped.
    ~LabelLookup() override;

    // Answered on this object's thread, in the order asked.
    void ask(const QString& label);

signals:
    // known: a unit got the label before, on station (empty when not recorded) at startedAt.
    // An unreadable history knows nothing.
    void answered(const QString& label, bool known, const QString& station,
                  const QDateTime& startedAt);

private:
    QString historyPath_;
    QThread thread_;
    QObject* worker_; // lives on thread_
};

} // namespace posflash
