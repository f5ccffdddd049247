#pragma once

#include "base/bytes.h"
#include "process_signal.h"
#include "support/test_files.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <signal.h>

namespace posflash::testing {

// The simulated printer as a child: on a pseudo-terminal, or through a launcher in a namespace.
class PrinterSimProcess {
public:
    explicit PrinterSimProcess(const QTemporaryDir& dir, QStringList launcher = {})
        : launcher_(std::move(launcher)), link_(dir.filePath("printer-tty")),
          out_(dir.filePath("received.bin")), report_(dir.filePath("report.json")) {}
    ~PrinterSimProcess() { stop(); }
    PrinterSimProcess(const PrinterSimProcess&) = delete;
    PrinterSimProcess& operator=(const PrinterSimProcess&) = delete;

    // The boot loader on a pseudo-terminal reachable at link().
    bool start(const QStringList& faults = {}) {
        return run(QStringList{"serial", "--link", link_} + faults, "PTY ");
    }

    // Any mode ("net ...", "app ..."); it is ready once it printed READY.
    bool startMode(const QStringList& modeAndArgs) { return run(modeAndArgs, "READY"); }

    // Ends the printer (it writes its report on the way out) and reads the report.
    QJsonObject stop() {
        if (process_.state() != QProcess::NotRunning) {
            posflash::test::signalProcess(process_, SIGTERM);
            if (!process_.waitForFinished(5000))
                process_.kill();
            process_.waitForFinished(2000);
        }
        return report();
    }

    QJsonObject report() const { return QJsonDocument::fromJson(ReadFile(report_)).object(); }

    // The image the printer assembled from the frames it accepted.
    Bytes received() const {
        const QByteArray all = ReadFile(out_);
        return Bytes(all.begin(), all.end());
    }

    bool waitForExit(int ms) {
        return process_.state() == QProcess::NotRunning || process_.waitForFinished(ms);
    }
    QString link() const { return link_; }

private:
    bool run(const QStringList& args, const QByteArray& readyLine) {
        QStringList command = launcher_;
        command << QStringLiteral(POSFLASH_SIM_PATH) << args << "--out" << out_ << "--report"
                << report_;
        process_.setProgram(command.takeFirst());
        process_.setArguments(command);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(5000))
            return false;
        // The first line says the printer is listening.
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(5000))
                return false;
        return process_.readLine().startsWith(readyLine);
    }

    QStringList launcher_;
    QString link_;
    QString out_;
    QString report_;
    QProcess process_;
};

} // namespace posflash::testing
