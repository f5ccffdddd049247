// The real bind helper, given its right on a copy and run as nobody in the test's own network
// namespaces, beside a root service that holds 0.0.0.0:67: it lends the link's own ports on the
// named interface and nothing of another service's or another host's (root only).
#include "link/bind_helper_client.h"
#include "support/netns_pair.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <grp.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>

namespace posflash {
namespace {

using namespace testing;

constexpr int kWaitMs = 15000; // far beyond the helper's own limits

class BindHelperAsNobody : public NetnsSuite<> {
protected:
    void SetUp() override {
        NetnsSuite::SetUp();
        const passwd* nobody = ::getpwnam("nobody");
        const QString setcap = QStandardPaths::findExecutable("setcap", {"/usr/sbin", "/sbin"});
        if (IsSkipped() || nobody == nullptr || setcap.isEmpty())
            GTEST_SKIP() << "needs namespaces, the user nobody and setcap";
        nobody_ = *nobody;
        // A copy nobody may run, outside a build tree it may not reach.
        ASSERT_TRUE(QFile::setPermissions(copies_.path(), QFileDevice::Permissions(0x7755)));
        helper_ = copies_.filePath("posflash-bind-helper");
        ASSERT_TRUE(QFile::copy(POSFLASH_HELPER_PATH, helper_));
        char attribute[64];
        if (QProcess::execute(setcap, {"cap_net_bind_service+ep", helper_}) != 0 ||
            ::getxattr(QFile::encodeName(helper_), "security.capability", attribute,
                       sizeof attribute) <= 0)
            GTEST_SKIP() << copies_.path().toStdString() << " does not keep file capabilities";
        // The root service, sharing its port the way DHCP servers do.
        const int on = 1;
        sockaddr_in any{AF_INET, htons(67), {}, {}};
        ASSERT_EQ(::setsockopt(service_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on), 0);
        ASSERT_EQ(::bind(service_, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0)
            << std::strerror(errno);
    }
    void TearDown() override { ::close(service_); }

    // Runs fn as nobody (its saved user id stays root's, to come back): whatever it starts runs
    // as nobody with no right but its file's own.
    template <typename Fn>
    auto asNobody(Fn fn) {
        EXPECT_EQ(::setgroups(0, nullptr) | ::setresgid(nobody_.pw_gid, nobody_.pw_gid, 0) |
                      ::setresuid(nobody_.pw_uid, nobody_.pw_uid, 0),
                  0);
        auto result = fn();
        EXPECT_EQ(::setresuid(0, 0, 0) | ::setresgid(0, 0, 0), 0);
        return result;
    }
    HelperAnswer ask(const char* request) {
        return asNobody([&] { return AskBindHelper(helper_, request, 1); });
    }

    QTemporaryDir copies_;
    QString helper_;
    passwd nobody_{};
    int service_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
};

TEST_F(BindHelperAsNobody, LendsOnlyTheInterfacesOwnFreePortsAndTheServiceKeepsItsTraffic) {
    const QString inUse = "port 67 is in use: another program holds it";
    const QString notOwn = "the address is not one of pfveth0's own";
    // clang-format off
    const struct { const char* request; int error; QString text; } cases[] = {
        {"udp dev=pfveth0 10.77.0.1 67",       EADDRINUSE, inUse},  // the interface's own address
        {"udp dev=pfveth0 67",                 EADDRINUSE, inUse},  // its wildcard
        {"udp dev=pfveth0 10.77.0.2 67",       EINVAL, notOwn},     // the printer's: another host
        {"udp dev=pfveth0 10.77.0.3 67",       EINVAL, notOwn},     // this host's, on another interface
        {"udp dev=pfveth0 10.77.0.255 67",     EINVAL, notOwn},     // the network's broadcast
        {"udp dev=pfveth0 255.255.255.255 67", EINVAL, "255.255.255.255 is the broadcast address, never an interface's own"},
        {"udp dev=pfveth0 224.0.0.1 67",       EINVAL, "224.0.0.1 is a multicast address, never an interface's own"},
        {"udp dev=lo 67",                      EINVAL, "lo is a loopback interface; printers are never there"},
        {"udp dev=pfnone0 67",                 EINVAL, "no interface pfnone0 on this host"},
        {"udp 10.77.0.1 67",                   EINVAL, "name the interface first (dev=INTERFACE), not 10.77.0.1"},
    };
    // clang-format on
    // Whatever is handed over stays open while the service is sent its datagram.
    std::vector<int> held;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        const HelperAnswer answer = ask(c.request);
        EXPECT_EQ(std::to_string(answer.error) + " " + answer.text.toStdString(),
                  std::to_string(c.error) + " " + c.text.toStdString());
        held.insert(held.end(), answer.fds.begin(), answer.fds.end());
    }

    // A client's unicast request, from the printer's side, reaches the root service.
    const std::string request = "DHCPREQUEST from 10.77.0.2";
    std::thread([ns = "/var/run/netns/" + net_->printerLauncher()[3].toStdString(), &request] {
        const int nsFd = ::open(ns.c_str(), O_RDONLY | O_CLOEXEC);
        const int fd = ::setns(nsFd, CLONE_NEWNET) == 0 ? ::socket(AF_INET, SOCK_DGRAM, 0) : -1;
        sockaddr_in to{AF_INET, htons(67), {::inet_addr("10.77.0.1")}, {}};
        ::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to);
        ::close(fd);
        ::close(nsFd);
    }).join();
    pollfd readable{service_, POLLIN, 0};
    char received[64] = {};
    EXPECT_TRUE(::poll(&readable, 1, kWaitMs) == 1 &&
                ::recv(service_, received, sizeof received - 1, 0) > 0 && request == received)
        << "the service did not receive the request";
    for (const int fd : held)
        ::close(fd);

    // A free port on the interface's own address comes bound to that interface alone: nobody's
    // SO_BINDTODEVICE needs no right beyond cap_net_bind_service.
    const HelperAnswer link = ask("udp dev=pfveth0 10.77.0.1 69");
    ASSERT_EQ(link.fds.size(), 1u) << link.text.toStdString();
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    char device[IFNAMSIZ] = {};
    socklen_t deviceSize = sizeof device;
    ::getsockname(link.fds[0], reinterpret_cast<sockaddr*>(&bound), &size);
    ::getsockopt(link.fds[0], SOL_SOCKET, SO_BINDTODEVICE, device, &deviceSize);
    EXPECT_EQ(std::string(inet_ntoa(bound.sin_addr)) + ":" + std::to_string(ntohs(bound.sin_port)) +
                  " on " + device,
              "10.77.0.1:69 on pfveth0");
    ::close(link.fds[0]);
}

// A caller that never reads the reply (its side full before the helper starts): the helper
// gives up on it and exits by itself.
TEST_F(BindHelperAsNobody, ACallerThatNeverReadsDoesNotKeepTheHelper) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    const std::string filler(4096, 'x'), request = "udp dev=pfveth0 69";
    while (::send(pair[1], filler.data(), filler.size(), MSG_DONTWAIT) > 0) {
    }
    ::send(pair[0], request.data(), request.size(), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
    const QByteArray program = QFile::encodeName(helper_);
    char* const argv[] = {const_cast<char*>(program.constData()), nullptr};
    pid_t pid = asNobody([&] {
        pid_t spawned = -1;
        ::posix_spawn(&spawned, program.constData(), &actions, nullptr, argv, argv + 1);
        return spawned;
    });
    posix_spawn_file_actions_destroy(&actions);
    ASSERT_GT(pid, 0);
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    pollfd ended{pidfd, POLLIN, 0};
    const bool exited = ::poll(&ended, 1, kWaitMs) == 1;
    if (!exited)
        ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(exited && WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    for (const int fd : {pidfd, pair[0], pair[1]})
        ::close(fd);
}

} // namespace
} // namespace posflash
