// The real bind helper, given its right on a copy and run as nobody in the test's own network
// namespaces beside a root service holding 0.0.0.0:67: it lends the link's own free ports on
// the named interface (tied to it, or the answer would be "failed ... Operation not
// permitted"), nothing of another service's or another host's (root only).
#include "link/bind_helper_client.h"
#include "support/netns_pair.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

#include <arpa/inet.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>

namespace posflash {
namespace {

class BindHelperAsNobody : public testing::NetnsSuite<> {
protected:
    void SetUp() override {
        NetnsSuite::SetUp();
        const passwd* nobody = ::getpwnam("nobody");
        if (IsSkipped() || nobody == nullptr)
            GTEST_SKIP() << "needs namespaces and the user nobody";
        nobody_ = *nobody;
        // A copy nobody may run, outside a build tree it may not reach.
        ASSERT_TRUE(QFile::setPermissions(copies_.path(), QFileDevice::Permissions(0x7755)) &&
                    QFile::copy(POSFLASH_HELPER_PATH, helper_));
        if (QProcess::execute("setcap", {"cap_net_bind_service+ep", helper_}) != 0)
            GTEST_SKIP() << "no setcap, or " << copies_.path().toStdString()
                         << " does not keep file capabilities";
        const int on = 1; // the root service shares its port the way DHCP servers do
        const sockaddr_in any{AF_INET, htons(67), {}, {}};
        ASSERT_TRUE(::setsockopt(service_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
                    ::bind(service_, reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0);
    }
    void TearDown() override { ::close(service_); }

    // fn runs as nobody, and what it starts too, with no right but its file's own; the saved
    // user id stays root's to come back.
    template <typename Fn>
    auto asNobody(Fn fn) {
        EXPECT_EQ(::setgroups(0, nullptr) | ::setresgid(nobody_.pw_gid, nobody_.pw_gid, 0) |
                      ::setresuid(nobody_.pw_uid, nobody_.pw_uid, 0),
                  0);
        auto result = fn();
        EXPECT_EQ(::setresuid(0, 0, 0) | ::setresgid(0, 0, 0), 0);
        return result;
    }

    QTemporaryDir copies_;
    QString helper_ = copies_.filePath("posflash-bind-helper");
    passwd nobody_{};
    int service_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
};

TEST_F(BindHelperAsNobody, LendsOnlyTheInterfacesOwnFreePortsAndTheServiceKeepsItsTraffic) {
    const QString inUse = "98 port 67 is in use: another program holds it";
    const QString notOwn = "22 the address is not one of pfveth0's own";
    // clang-format off
    const struct { const char* request; QString answer; } cases[] = {
        {"udp dev=pfveth0 10.77.0.1 67",   inUse},  // the interface's own address
        {"udp dev=pfveth0 67",             inUse},  // its wildcard
        {"udp dev=pfveth0 10.77.0.2 67",   notOwn}, // the printer's: another host
        {"udp dev=pfveth0 10.77.0.3 67",   notOwn}, // this host's, on another interface
        {"udp dev=pfveth0 10.77.0.255 67", notOwn}, // the network's broadcast
        {"udp dev=lo 67",                  "22 lo is a loopback interface; printers are never there"},
        // A request refused as it reads: its text is the request table's (bind_request_test).
        {"udp 10.77.0.1 67",               "22 name the interface first (dev=INTERFACE), not 10.77.0.1"},
        // A free port: nobody's SO_BINDTODEVICE needs no right beyond cap_net_bind_service.
        {"udp dev=pfveth0 10.77.0.1 69",   "0 "},
    };
    // clang-format on
    std::vector<int> held; // anything handed over stays open while the service is sent to
    for (const auto& c : cases) {
        const HelperAnswer a = asNobody([&] { return AskBindHelper(helper_, c.request, 1); });
        EXPECT_EQ(QString::number(a.error) + " " + a.text, c.answer) << c.request;
        held.insert(held.end(), a.fds.begin(), a.fds.end());
    }
    // A client's unicast request, from the printer's side, reaches the root service.
    std::thread([ns = "/var/run/netns/" + net_->printerLauncher()[3].toStdString()] {
        const int nsFd = ::open(ns.c_str(), O_RDONLY | O_CLOEXEC);
        const int fd = ::setns(nsFd, CLONE_NEWNET) == 0 ? ::socket(AF_INET, SOCK_DGRAM, 0) : -1;
        const sockaddr_in to{AF_INET, htons(67), {::inet_addr("10.77.0.1")}, {}};
        ::sendto(fd, "REQUEST", 7, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        ::close(fd);
        ::close(nsFd);
    }).join();
    pollfd readable{service_, POLLIN, 0};
    char received[16] = {};
    EXPECT_TRUE(::poll(&readable, 1, 15000) == 1 && ::recv(service_, received, 15, 0) == 7 &&
                std::string(received) == "REQUEST")
        << "the service did not receive the request";
    for (const int fd : held)
        ::close(fd);
}

// A caller that never reads the reply (its side full before the helper starts): the helper
// gives up on it and exits by itself.
TEST_F(BindHelperAsNobody, ACallerThatNeverReadsDoesNotKeepTheHelper) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    const std::string filler(4096, 'x');
    while (::send(pair[1], filler.data(), filler.size(), MSG_DONTWAIT) > 0) {
    }
    ::send(pair[0], "udp dev=pfveth0 69", 18, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
    const QByteArray program = QFile::encodeName(helper_);
    char* const argv[] = {const_cast<char*>(program.constData()), nullptr};
    const pid_t pid = asNobody([&] {
        pid_t spawned = -1;
        ::posix_spawn(&spawned, argv[0], &actions, nullptr, argv, argv + 1);
        return spawned;
    });
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_GT(pid, 0);
    pollfd ended{static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)), POLLIN, 0};
    const bool exited = ::poll(&ended, 1, 15000) == 1; // far beyond the helper's own limits
    if (!exited)
        ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(exited && WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    for (const int fd : {ended.fd, pair[0], pair[1]})
        ::close(fd);
}

} // namespace
} // namespace posflash
