// posflash-cli to several network printers at once, each behind its own card (root only).
#include "link/host_network.h"
#include "support/cli_process.h"
#include "support/netns_pair.h"
#include "support/printer_sims.h"
#include "support/program_image.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QMap>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include <pwd.h>
#include <unistd.h>

namespace posflash {
namespace {

using namespace testing;

class NetworkMultiTest : public NetnsSuite<true> {
protected:
    // A simulated network boot loader in the first or the second printer's namespace.
    PrinterSimProcess& printer(bool second, const QStringList& args) {
        PrinterSimProcess& sim = sims_.add(net_->printerLauncher(second));
        EXPECT_TRUE(sim.startMode(QStringList{"net"} + args));
        return sim;
    }

    QTemporaryDir dir_;
    PrinterSims sims_;
};

TEST_F(NetworkMultiTest, PrintersBehindTwoCardsGetTheirOwnAnswersAndOneNobodyAnswersHoldsNoOneUp) {
    // The default route leaves through a third card: each answer must use its request's card.
    ASSERT_EQ(LocalIpAddress(), NetnsPair::kOtherCardIp);
    const QString file = dir_.filePath("fw.bin");
    const Bytes image = WriteProgramImage(file, 100 * 1024);
    const QString targets[] = {QStringLiteral("%1/00-11-22-33-44-55").arg(NetnsPair::kPrinterIp),
                               QStringLiteral("%1/00-11-22-33-44-66").arg(NetnsPair::kPrinterIp2),
                               "10.77.0.9/00-11-22-33-44-77"}; // nobody there
    QStringList args{"download", "--json", "--link-timeout", "3", "--net"};
    for (const QString& target : targets)
        args << "--ip" << target.section('/', 0, 0) << "--mac" << target.section('/', 1);
    args << file;
    std::vector<PrinterSimProcess*> sims;
    for (int i = 0; i < 2; ++i)
        sims.push_back(&printer(i == 1, {"--ip", targets[i].section('/', 0, 0), "--mac",
                                         targets[i].section('/', 1), "--think", "2",
                                         "--requests-after-reply", "2"}));

    const Finished r = runCli(dir_.path(), args, 60000);
    ASSERT_FALSE(r.crashed) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString() << r.err.toStdString();
    QMap<QString, QJsonObject> linked, done;
    for (const QJsonObject& o : jsonLines(r.out))
        if (o["event"] == "linked" || o["event"] == "done")
            (o["event"] == "linked" ? linked : done)[o["target"].toString()] = o;
    const QJsonObject absent = done.value(targets[2]);
    EXPECT_EQ(absent["result"].toString() + "/" + absent["cause"].toString(),
              "failed/link-timeout");
    EXPECT_GE(absent["seconds"].toDouble(), 2.9);
    // Both linked before either finished; neither waited for the absent one's time limit.
    const double firstDone =
        std::min(done.value(targets[0])["t"].toDouble(), done.value(targets[1])["t"].toDouble());
    for (const QString& target : {targets[0], targets[1]}) {
        SCOPED_TRACE(target.toStdString());
        EXPECT_EQ(done.value(target)["result"], "completed") << r.out.toStdString();
        EXPECT_LT(done.value(target)["seconds"].toDouble(), 2.9);
        EXPECT_LT(linked.value(target)["t"].toDouble(1e9), firstDone) << r.out.toStdString();
    }

    // Each answer came through the printer's own card, naming that card as the server.
    // clang-format off
    const struct { PrinterSimProcess& sim; const char* serverIp; } printers[] = {{*sims[0], NetnsPair::kToolIp}, {*sims[1], NetnsPair::kToolIp2}};
    // clang-format on
    for (const auto& [sim, serverIp] : printers) {
        const QJsonObject report = sim.stop();
        EXPECT_TRUE(report["errors"].toArray().isEmpty())
            << QJsonDocument(report["errors"].toArray()).toJson().toStdString();
        EXPECT_EQ(report["bootp_replies"].toInt(), 1);
        EXPECT_GE(report["bootp_requests"].toInt(), 3);
        EXPECT_EQ(report["server_ip"].toString(), serverIp);
        EXPECT_EQ(report["boot_file"].toString(), "fw.bin");
        EXPECT_TRUE(sim.received() == image) << serverIp;
    }
    // Neither shared port stays taken once the run is over.
    QUdpSocket probe67, probe69;
    EXPECT_TRUE(probe67.bind(QHostAddress::AnyIPv4, 67));
    EXPECT_TRUE(probe69.bind(QHostAddress::AnyIPv4, 69));

    QStringList history;
    for (const QJsonObject& row : jsonLines(runCli(dir_.path(), {"history", "--json"}).out))
        history << row["ip"].toString() + "/" + row["mac"].toString() + " " +
                       row["outcome"].toString();
    history.sort();
    EXPECT_EQ(history, QStringList({targets[0] + " completed", targets[2] + " failed",
                                    targets[1] + " completed"}));
}

// A network printer's retry links afresh when the restarted printer asks again (BOOTP).
TEST_F(NetworkMultiTest, ARetryOfANetworkPrinterWaitsForItsNextRequest) {
    const QString file = dir_.filePath("fw.bin");
    const Bytes image = WriteProgramImage(file, 20 * 1024);
    const QStringList printerArgs{"--ip", NetnsPair::kPrinterIp, "--mac", "00-11-22-33-44-55"};
    PrinterSimProcess& refusing = printer(false, printerArgs + QStringList{"--refuse", "2:5:3"});
    QProcess cli;
    QByteArray out =
        startUntil(cli, dir_.path(),
                   {"download", "--json", "--retries", "1", "--link-timeout", "20", "--net", "--ip",
                    "010.077.000.002", "--mac", "00-11-22-33-44-55", file},
                   "retry_unit");
    ASSERT_TRUE(out.contains("retry_unit")) << out.data();
    refusing.stop();
    PrinterSimProcess& restarted = printer(false, printerArgs);
    ASSERT_TRUE(cli.waitForFinished(30000));
    out += cli.readAllStandardOutput();
    EXPECT_EQ(cli.exitCode(), 0) << out.data();
    const auto events = jsonLines(out);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2]["attempts"], 2) << out.data();
    EXPECT_TRUE(restarted.received() == image);
}

// A store's rollout: one printer restarts into its firmware and is updated, one never comes
// back (failed, not-back); the next run leaves the first out as current and finds the second
// not answering (pending); a dry run sends nothing, not even the boot-loader command.
TEST_F(NetworkMultiTest, ARolloutChecksEachPrinterCameBackAndARunAgainSendsNothing) {
    const QString file = dir_.filePath("fw.bin");
    const Bytes image = WriteProgramImage(file, 20 * 1024);
    const QString macs[] = {"00-11-22-33-44-55", "00-11-22-33-44-66"};
    const QString ips[] = {NetnsPair::kPrinterIp, NetnsPair::kPrinterIp2};
    PrinterSimProcess& back =
        printer(false, {"--ip", ips[0], "--mac", macs[0], "--restart-into-app", "300"});
    PrinterSimProcess& gone =
        printer(true, {"--ip", ips[1], "--mac", macs[1], "--restart-into-app", "never"});
    QStringList net{"--net"};
    for (int i = 0; i < 2; ++i)
        net << "--ip" << ips[i] << "--mac" << macs[i];
    const auto run = [&](const QStringList& options, int exitCode) {
        const Finished r = runCli(dir_.path(),
                                  QStringList{"download", "--json", "--link-timeout", "3"} + net +
                                      options + QStringList{file},
                                  30000);
        EXPECT_EQ(r.exitCode, exitCode) << r.out.toStdString() << r.err.toStdString();
        QStringList ends;
        for (const QJsonObject& o : jsonLines(r.out))
            if (o["event"] == "printer")
                ends << o["ip"].toString() + " " + o["fleet"].toString() + " " +
                            o["cause"].toString();
            else if (o["event"] == "summary")
                ends << QStringLiteral("pending %1").arg(o["pending"].toInt());
        return ends;
    };
    const QStringList rollout{"--skip-current", "--inboot", "--verify-back", "2"};
    EXPECT_EQ(run(rollout, 1),
              QStringList({QStringLiteral("%1 updated ").arg(ips[0]),
                           QStringLiteral("%1 failed not-back").arg(ips[1]), "pending 0"}));
    EXPECT_EQ(run(rollout, 3),
              QStringList({QStringLiteral("%1 current ").arg(ips[0]),
                           QStringLiteral("%1 pending not-answering").arg(ips[1]), "pending 1"}));
    EXPECT_EQ(run({"--dry-run", "--inboot"}, 3),
              QStringList({QStringLiteral("%1 would-update ").arg(ips[0]),
                           QStringLiteral("%1 pending not-answering").arg(ips[1]), "pending 1"}));

    // Each printer linked once, and the first never got the boot-loader command.
    const QJsonObject backReport = back.stop(), goneReport = gone.stop();
    EXPECT_TRUE(back.received() == image && gone.received() == image);
    EXPECT_EQ(backReport["bootp_replies"].toInt(), 1);
    EXPECT_EQ(goneReport["bootp_replies"].toInt(), 1);
    EXPECT_EQ(backReport["restarts_into_boot_loader"].toInt(), 0);
    QStringList history;
    for (const QJsonObject& row : jsonLines(runCli(dir_.path(), {"history", "--json"}).out))
        history << row["ip"].toString() + " " + row["outcome"].toString() + " " +
                       row["cause"].toString();
    EXPECT_EQ(history, QStringList({QStringLiteral("%1 refused not-answering").arg(ips[1]),
                                    QStringLiteral("%1 failed not-back").arg(ips[1]),
                                    QStringLiteral("%1 completed ").arg(ips[0])}));
}

// The user nobody downloads through a copy of the bind helper, or is told it lacks the right.
TEST_F(NetworkMultiTest, AnOrdinaryUserDownloadsThroughTheBindHelper) {
    const QString setcap = QStandardPaths::findExecutable("setcap", {"/usr/sbin", "/sbin"});
    const passwd* nobody = ::getpwnam("nobody");
    if (setcap.isEmpty() || nobody == nullptr)
        GTEST_SKIP() << "needs setcap (libcap2-bin) and the user nobody";
    // clang-format off
    const struct { bool right; int exitCode; } cases[] = {
        {true,  0},
        {false, 1},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.right);
        // Copies nobody may read, outside a build tree it may not.
        QTemporaryDir copies;
        ASSERT_TRUE(QFile::setPermissions(copies.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                             QFile::ExeOwner | QFile::ReadOther |
                                                             QFile::ExeOther));
        const QString cli = copies.filePath("posflash-cli");
        const QString helper = copies.filePath("posflash-bind-helper");
        ASSERT_TRUE(QFile::copy(POSFLASH_CLI_PATH, cli));
        ASSERT_TRUE(QFile::copy(POSFLASH_HELPER_PATH, helper));
        if (c.right && QProcess::execute(setcap, {"cap_net_bind_service+ep", helper}) != 0)
            GTEST_SKIP() << "the file system of " << copies.path().toStdString()
                         << " cannot hold capabilities";
        const QString home = copies.filePath("home");
        ASSERT_TRUE(QDir().mkpath(home + "/data") && QDir().mkpath(home + "/config"));
        for (const QString& path : {home, home + "/data", home + "/config"})
            ASSERT_EQ(::chown(QFile::encodeName(path), nobody->pw_uid, nobody->pw_gid), 0);
        const QString file = copies.filePath("fw.bin");
        const Bytes image = WriteProgramImage(file, 20 * 1024);
        ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther));
        PrinterSimProcess& sim =
            printer(false, {"--ip", NetnsPair::kPrinterIp, "--mac", "00-11-22-33-44-55"});

        // setpriv leaves nobody no inherited or ambient capability: only the helper's own.
        const Finished r =
            runCli(home,
                   {"--reuid=" + QString::number(nobody->pw_uid),
                    "--regid=" + QString::number(nobody->pw_gid), "--clear-groups",
                    "--inh-caps=-all", cli, "download", "--lang", "en", "--link-timeout", "15",
                    "--net", "--ip", NetnsPair::kPrinterIp, "--mac", "00-11-22-33-44-55", file},
                   30000, QStringLiteral("setpriv"));
        ASSERT_FALSE(r.crashed) << r.err.toStdString();
        EXPECT_EQ(r.exitCode, c.exitCode) << r.out.toStdString() << r.err.toStdString();
        if (c.right) {
            sim.stop();
            EXPECT_TRUE(sim.received() == image);
        } else {
            EXPECT_TRUE(r.err.contains("bind-refused") && r.err.contains("posflash-bind-helper"))
                << r.err.toStdString();
        }
    }
}

} // namespace
} // namespace posflash
