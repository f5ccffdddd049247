#pragma once
// posflash-cli as a child process, its history, settings and COM map kept in a test's folder.

#include "support/printer_sim_process.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <vector>

namespace posflash::testing {

struct Finished {
    int exitCode = -1;
    bool crashed = false; // or killed for outliving its time
    qint64 ms = 0;
    QByteArray out;
    QString err;
};

inline void isolate(QProcess& cli, const QString& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("XDG_CONFIG_HOME", home + "/config");
    cli.setProcessEnvironment(env);
}

// Runs the tool (or another program, such as a shell around it) to its end.
inline Finished runCli(const QString& home, const QStringList& args, int timeoutMs = 5000,
                       const QString& program = POSFLASH_CLI_PATH) {
    QProcess cli;
    isolate(cli, home);
    QElapsedTimer clock;
    clock.start();
    cli.start(program, args);
    Finished r;
    if (!cli.waitForFinished(timeoutMs)) {
        cli.kill();
        cli.waitForFinished(2000);
        r.crashed = true;
    }
    r.ms = clock.elapsed();
    r.crashed = r.crashed || cli.exitStatus() != QProcess::NormalExit;
    r.exitCode = cli.exitCode();
    r.out = cli.readAllStandardOutput();
    r.err = QString::fromUtf8(cli.readAllStandardError());
    return r;
}

// One JSON object per line of standard output.
inline std::vector<QJsonObject> jsonLines(const QByteArray& out) {
    std::vector<QJsonObject> objects;
    for (const QByteArray& line : out.split('\n'))
        if (!line.isEmpty())
            objects.push_back(QJsonDocument::fromJson(line).object());
    return objects;
}

// A font image of varied bytes: a frame lost, repeated or out of place shows in the result.
inline QByteArray fontBytes(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 253) & 0xFF);
    return bytes;
}

// Ends the printer and gives the image it assembled.
inline QByteArray receivedBy(PrinterSimProcess& sim) {
    sim.stop();
    const Bytes bytes = sim.received();
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

} // namespace posflash::testing
