#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <signal.h>

namespace posflash::testing {

// The simulated printer as a child process on a pseudo-terminal.
class PrinterSimProcess {
public:
    explicit PrinterSimProcess(const QTemporaryDir& dir)
        : link_(dir.filePath("printer-tty")), out_(dir.filePath("received.bin")),
          report_(dir.filePath("report.json")) {}
    ~PrinterSimProcess() { stop(); }

    bool start(const QStringList& faults = {}) {
        QStringList args{"serial", "--link", link_, "--out", out_, "--report", report_};
        args << faults;
        process_.setProgram(QStringLiteral(POSFLASH_SIM_PATH));
        process_.setArguments(args);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(5000))
            return false;
        // The first line names the pseudo-terminal; the link exists from then on.
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(5000))
                return false;
        return process_.readLine().startsWith("PTY ");
    }

    // Ends the printer (it writes its report on the way out) and reads the report.
    QJsonObject stop() {
        if (process_.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
            if (!process_.waitForFinished(5000))
                process_.kill();
            process_.waitForFinished(2000);
        }
        return report();
    }

    QJsonObject report() const {
        QFile f(report_);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(f.readAll()).object();
    }

    bool waitForExit(int ms) {
        return process_.state() == QProcess::NotRunning || process_.waitForFinished(ms);
    }
    QString link() const { return link_; }
    QString outPath() const { return out_; }

private:
    QString link_;
    QString out_;
    QString report_;
    QProcess process_;
};

} // namespace posflash::testing
