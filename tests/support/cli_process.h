#pragma once
// posflash-cli as a child process, its history, settings and COM map kept in a test's folder.

#include "support/printer_sim_process.h"
#include "support/test_files.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <vector>

namespace posflash::testing {

struct Finished {
    int exitCode = -1;
    bool crashed = false; // or killed for outliving its time
    qint64 ms = 0;
    QByteArray out;
    QString err;
};

// The line's records address, when given, is the one in the environment.
inline void isolate(QProcess& cli, const QString& home, const QString& records = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_STATE_HOME", home + "/state");
    // Without --lang the locale chooses the language: the tests' is English.
    env.remove("LC_ALL");
    env.remove("LC_MESSAGES");
    env.insert("LANG", "C.UTF-8");
    env.remove("POSFLASH_RECORDS");
    if (!records.isEmpty())
        env.insert("POSFLASH_RECORDS", records);
    cli.setProcessEnvironment(env);
}

// Every line of out must be a JSON object docs/<schemaFile> accepts (python3-jsonschema's check;
// without it the test fails and says so); a line that fails is shown with the complaint.
inline void expectMatchesSchema(const QByteArray& out, const QString& schemaFile) {
    static const char* const kCheck = R"py(
import json, sys
try:
    from jsonschema import Draft202012Validator
except ImportError:
    sys.exit("python3-jsonschema is not installed (apt-get install python3-jsonschema)")
schema = json.load(open(sys.argv[1]))
Draft202012Validator.check_schema(schema)
whole = Draft202012Validator(schema)
bad = 0
for n, line in enumerate(sys.stdin.read().splitlines(), 1):
    try:
        value = json.loads(line)
    except ValueError as e:
        print("line %d is not JSON (%s): %s" % (n, e, line)); bad += 1; continue
    if whole.is_valid(value):
        continue
    bad += 1
    # The definition the line claims to be, for a precise complaint.
    part = schema.get("$defs", {}).get(value.get("event")) if isinstance(value, dict) else None
    errors = Draft202012Validator(dict(part, **{"$defs": schema["$defs"]})).iter_errors(value) \
        if part else whole.iter_errors(value)
    print("line %d: %s\n  %s" % (n, line, "; ".join(e.message for e in errors)))
sys.exit(1 if bad else 0)
)py";
    const QString schema = QStringLiteral(POSFLASH_DOCS_DIR "/") + schemaFile;
    QProcess python;
    python.start("python3", {"-c", kCheck, schema});
    python.write(out);
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(30000)) << "python3 did not finish";
    EXPECT_EQ(python.exitCode(), 0)
        << "standard output against " << schemaFile.toStdString() << ":\n"
        << python.readAllStandardOutput().toStdString()
        << python.readAllStandardError().toStdString();
}

// The schema a run's --json output is checked against, or none.
inline QString schemaOf(const QStringList& args) {
    if (!args.contains("--json"))
        return {};
    return args[0] == "history" ? QStringLiteral("history.schema.json")
                                : QStringLiteral("events.schema.json");
}

// Waits for a started tool to end (killed after timeoutMs) and takes what it said.
inline Finished finishCli(QProcess& cli, const QElapsedTimer& clock, int timeoutMs) {
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

// Starts program as the administrator's station runs it: in a mount namespace of its own whose
// /etc/posflash/trusted-keys (an overlay on /etc, gone with the process) holds the *.pub of
// keys, root's and not writable by others. Needs root, as the tests have.
inline void startWithSystemKeys(QProcess& p, const QString& keys, const QString& program,
                                const QStringList& args) {
    static const char* const kScript = R"(set -e
mount -t tmpfs posflash-test /mnt
mkdir /mnt/upper /mnt/work
mount -t overlay posflash-test -o lowerdir=/etc,upperdir=/mnt/upper,workdir=/mnt/work /etc
mkdir -p /etc/posflash/trusted-keys
cp "$1"/*.pub /etc/posflash/trusted-keys/
chmod 755 /etc/posflash /etc/posflash/trusted-keys
chmod 644 /etc/posflash/trusted-keys/*.pub
shift
exec "$@")";
    p.start("unshare", QStringList{"--mount", "--propagation", "private", "sh", "-c", kScript, "sh",
                                   keys, program} +
                           args);
}

// runCli with keys as the administrator's (startWithSystemKeys).
inline Finished runCliWithSystemKeys(const QString& home, const QString& keys,
                                     const QStringList& args, int timeoutMs = 5000) {
    QProcess cli;
    isolate(cli, home);
    QElapsedTimer clock;
    clock.start();
    startWithSystemKeys(cli, keys, POSFLASH_CLI_PATH, args);
    const Finished r = finishCli(cli, clock, timeoutMs);
    if (const QString schema = schemaOf(args); !schema.isEmpty())
        expectMatchesSchema(r.out, schema);
    return r;
}

// Runs the tool (or a program around it) to its end; its --json output meets its schema.
inline Finished runCli(const QString& home, const QStringList& args, int timeoutMs = 5000,
                       const QString& program = POSFLASH_CLI_PATH) {
    QProcess cli;
    isolate(cli, home);
    QElapsedTimer clock;
    clock.start();
    cli.start(program, args);
    const Finished r = finishCli(cli, clock, timeoutMs);
    if (const QString schema = schemaOf(args); !schema.isEmpty() && program == POSFLASH_CLI_PATH)
        expectMatchesSchema(r.out, schema);
    return r;
}

// Starts the tool and returns its output once needle shows (or it is silent for 10 s).
inline QByteArray startUntil(QProcess& cli, const QString& home, const QStringList& args,
                             const QByteArray& needle) {
    isolate(cli, home);
    cli.start(POSFLASH_CLI_PATH, args);
    QByteArray out;
    while (!out.contains(needle) && cli.waitForReadyRead(10000))
        out += cli.readAllStandardOutput();
    return out;
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
