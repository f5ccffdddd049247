#pragma once

#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

namespace posflash {

// Whether a network printer's running firmware answers: a connection to its TCP port 4000,
// closed as soon as it is made, no command sent. A refused connection is tried again after a
// pause that grows, until one connects or the time is up; finished(answered) follows once.
class FirmwareProbe : public QObject {
    Q_OBJECT
public:
    // How long a printer's firmware has to answer a look at it.
    static constexpr int kAnswerWaitMs = 3000;
    static constexpr int kFirstPauseMs = 50;
    static constexpr int kLongestPauseMs = 1000;

    FirmwareProbe(QString ip, int withinMs, QObject* parent = nullptr);

    void start();
    bool isDone() const { return done_; }
    bool answered() const { return answered_; }

signals:
    void finished(bool answered);

private:
    void attempt();
    void refused();
    void end(bool answered);

    QString ip_;
    int withinMs_;
    QTcpSocket socket_;
    QTimer deadline_;
    QTimer pause_;
    int pauseMs_ = kFirstPauseMs;
    bool done_ = false;
    bool answered_ = false;
};

} // namespace posflash
