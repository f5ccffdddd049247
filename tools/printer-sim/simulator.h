#pragma once

#include "printer-sim/boot_loader.h"
#include "printer-sim/options.h"
#include "printer-sim/report.h"
#include "printer-sim/transport.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace posflash::sim {

// Carries bytes between a line and the boot loader, times the replies as the faults ask,
// and writes the image and the report.
class Simulator : public QObject {
    Q_OBJECT
public:
    Simulator(Options options, Transport& transport, QObject* parent = nullptr);

    // With --once: how long after the last reply the line closes.
    static constexpr int kOnceHangupMs = 100;

    // Writes the report, releases the line and announces the exit code.
    void finish(int exitCode);
    int exitCodeForErrors() const;
    // What a network mode adds to the report; its errors count for the exit code too.
    void setReportAddition(std::function<ReportAddition()> addition);
    void writeReport();

signals:
    void finished(int exitCode);
    // The final frame's acceptance has been handed to the line.
    void downloadCompleted();

private:
    struct ReplyJob {
        Reply reply;
        std::vector<WriteStep> steps;
    };

    void onReceived(const QByteArray& bytes, qint64 atUs);
    void runStep(const std::shared_ptr<ReplyJob>& job, std::size_t index, int atMs);
    void onReplyWritten(const Reply& reply, std::int64_t atUs);
    void onSessionCompleted();

    Options options_;
    Transport& transport_;
    BootLoader loader_;
    // A frame left unfinished this long was cut short; the tool's shortest retry is 350 ms.
    QTimer quietTimer_;
    std::function<ReportAddition()> addition_;
    std::size_t sessionsReported_ = 0;
    bool finished_ = false;
};

} // namespace posflash::sim
