// The real bind helper, given its right on a copy and run as nobody in the test's own network
// namespaces, beside a root service that holds 0.0.0.0:67: it lends the link's own ports on the
// named interface and nothing of another service's or another host's (root only).
#include "support/netns_pair.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace posflash {
namespace {

using namespace testing;

constexpr int kAnswerWaitMs = 15000; // far beyond the helper's own limits

struct HelperRun {
    std::string reply;    // empty when none came
    std::vector<int> fds; // the sockets handed over
    int status = -1;      // waitpid's status; -1 while still running at the deadline
};

class BindHelperAsNobody : public NetnsSuite<> {
protected:
    void SetUp() override {
        NetnsSuite::SetUp();
        if (IsSkipped())
            return;
        const passwd* nobody = ::getpwnam("nobody");
        const QString setcap = QStandardPaths::findExecutable("setcap", {"/usr/sbin", "/sbin"});
        setpriv_ = QStandardPaths::findExecutable("setpriv");
        if (nobody == nullptr || setcap.isEmpty() || setpriv_.isEmpty())
            GTEST_SKIP() << "needs the user nobody, setcap and setpriv";
        nobodyUid_ = nobody->pw_uid;
        nobodyGid_ = nobody->pw_gid;
        // A copy nobody may run, outside a build tree it may not reach.
        ASSERT_TRUE(QFile::setPermissions(copies_.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                              QFile::ExeOwner | QFile::ReadOther |
                                                              QFile::ExeOther));
        helper_ = copies_.filePath("posflash-bind-helper");
        ASSERT_TRUE(QFile::copy(POSFLASH_HELPER_PATH, helper_));
        char attribute[64];
        if (QProcess::execute(setcap, {"cap_net_bind_service+ep", helper_}) != 0 ||
            ::getxattr(QFile::encodeName(helper_).constData(), "security.capability", attribute,
                       sizeof attribute) <= 0)
            GTEST_SKIP() << "the file system of " << copies_.path().toStdString()
                         << " does not keep file capabilities";

        // The root service, sharing its port the way DHCP servers do.
        service_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_port = htons(67);
        ASSERT_EQ(::setsockopt(service_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on), 0);
        ASSERT_EQ(::bind(service_, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0)
            << std::strerror(errno);
    }

    void TearDown() override {
        if (service_ >= 0)
            ::close(service_);
    }

    // Starts the helper as nobody with the request waiting on its socket and returns what it
    // answered. With a caller that never reads, the helper's side is filled up first.
    HelperRun ask(const std::string& request, bool callerNeverReads = false) {
        HelperRun run;
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
            return run;
        if (callerNeverReads) {
            const std::string filler(4096, 'x');
            while (::send(pair[1], filler.data(), filler.size(), MSG_DONTWAIT) > 0) {
            }
        }
        ::send(pair[0], request.data(), request.size(), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
        const QByteArray program = QFile::encodeName(setpriv_);
        const QByteArray helper = QFile::encodeName(helper_);
        const std::string uid = "--reuid=" + std::to_string(nobodyUid_);
        const std::string gid = "--regid=" + std::to_string(nobodyGid_);
        const char* argv[] = {
            program.constData(), uid.c_str(),        gid.c_str(), "--clear-groups",
            "--inh-caps=-all",   helper.constData(), nullptr};
        char* const noEnvironment[] = {nullptr};
        pid_t pid = 0;
        const int spawned = ::posix_spawn(&pid, program.constData(), &actions, nullptr,
                                          const_cast<char* const*>(argv), noEnvironment);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pair[1]);
        if (spawned != 0) {
            ::close(pair[0]);
            return run;
        }
        if (!callerNeverReads) {
            pollfd readable{pair[0], POLLIN, 0};
            if (::poll(&readable, 1, kAnswerWaitMs) > 0)
                run.reply = receive(pair[0], run.fds);
        }
        // The helper's end: its exit, whatever this side does.
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        pollfd ended{pidfd, POLLIN, 0};
        const bool exited = pidfd >= 0 && ::poll(&ended, 1, kAnswerWaitMs) > 0;
        if (!exited)
            ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.status = exited ? status : -1;
        if (pidfd >= 0)
            ::close(pidfd);
        ::close(pair[0]);
        return run;
    }

    static std::string receive(int fd, std::vector<int>& fds) {
        char text[256];
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 2)];
        iovec part{text, sizeof text};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t size = ::recvmsg(fd, &message, MSG_CMSG_CLOEXEC);
        if (size <= 0)
            return {};
        for (cmsghdr* h = CMSG_FIRSTHDR(&message); h != nullptr; h = CMSG_NXTHDR(&message, h))
            if (h->cmsg_level == SOL_SOCKET && h->cmsg_type == SCM_RIGHTS) {
                const auto* data = reinterpret_cast<const int*>(CMSG_DATA(h));
                fds.insert(fds.end(), data, data + (h->cmsg_len - CMSG_LEN(0)) / sizeof(int));
            }
        return std::string(text, static_cast<std::size_t>(size));
    }

    QTemporaryDir copies_;
    QString helper_;
    QString setpriv_;
    uid_t nobodyUid_ = 0;
    gid_t nobodyGid_ = 0;
    int service_ = -1;
};

TEST_F(BindHelperAsNobody, LendsOnlyTheInterfacesOwnFreePortsAndTheServiceKeepsItsTraffic) {
    const std::string inUse =
        "failed 67 " + std::to_string(EADDRINUSE) + " port 67 is in use: another program holds it";
    const std::string notOwn = "refused the address is not one of pfveth0's own";
    // clang-format off
    const struct { std::string request; std::string reply; } cases[] = {
        {"udp dev=pfveth0 10.77.0.1 67",       inUse},  // the interface's own address
        {"udp dev=pfveth0 67",                 inUse},  // its wildcard
        {"udp dev=pfveth0 10.77.0.2 67",       notOwn}, // the printer's: another host
        {"udp dev=pfveth0 10.77.0.3 67",       notOwn}, // this host's, on another interface
        {"udp dev=pfveth0 10.77.0.255 67",     notOwn}, // the network's broadcast
        {"udp dev=pfveth0 255.255.255.255 67", "refused 255.255.255.255 is the broadcast address, never an interface's own"},
        {"udp dev=pfveth0 224.0.0.1 67",       "refused 224.0.0.1 is a multicast address, never an interface's own"},
        {"udp dev=lo 67",                      "refused lo is a loopback interface; printers are never there"},
        {"udp dev=pfnone0 67",                 "refused no interface pfnone0 on this host"},
        {"udp 10.77.0.1 67",                   "refused name the interface first (dev=INTERFACE), not 10.77.0.1"},
    };
    // clang-format on
    // Whatever is handed over stays open while the service is sent its datagram.
    std::vector<int> held;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        HelperRun run = ask(c.request);
        EXPECT_EQ(run.reply, c.reply);
        EXPECT_TRUE(run.fds.empty());
        held.insert(held.end(), run.fds.begin(), run.fds.end());
    }

    // A client's unicast request, from the printer's side, reaches the root service.
    const std::string printerNs = net_->printerLauncher()[3].toStdString();
    const std::string request = "DHCPREQUEST from 10.77.0.2";
    std::thread client([&printerNs, &request] {
        const int ns = ::open(("/var/run/netns/" + printerNs).c_str(), O_RDONLY | O_CLOEXEC);
        if (ns < 0 || ::setns(ns, CLONE_NEWNET) != 0)
            return;
        ::close(ns);
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(67);
        ::inet_pton(AF_INET, "10.77.0.1", &to.sin_addr);
        ::sendto(fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
        ::close(fd);
    });
    client.join();
    pollfd readable{service_, POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, kAnswerWaitMs), 1) << "the service received nothing";
    char received[128];
    const ssize_t got = ::recv(service_, received, sizeof received, 0);
    EXPECT_EQ(std::string(received, static_cast<std::size_t>(std::max<ssize_t>(got, 0))), request);
    for (const int fd : held)
        ::close(fd);

    // A free port on the interface's own address comes bound to that interface alone: nobody's
    // SO_BINDTODEVICE needs no right beyond cap_net_bind_service.
    HelperRun link = ask("udp dev=pfveth0 10.77.0.1 69");
    EXPECT_EQ(link.reply, "ok");
    ASSERT_EQ(link.fds.size(), 1u);
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    char device[IFNAMSIZ] = {};
    socklen_t deviceSize = sizeof device;
    ASSERT_EQ(::getsockname(link.fds[0], reinterpret_cast<sockaddr*>(&bound), &size), 0);
    ASSERT_EQ(::getsockopt(link.fds[0], SOL_SOCKET, SO_BINDTODEVICE, device, &deviceSize), 0);
    EXPECT_EQ(std::string(inet_ntoa(bound.sin_addr)) + ":" + std::to_string(ntohs(bound.sin_port)) +
                  " on " + device,
              "10.77.0.1:69 on pfveth0");
    ::close(link.fds[0]);
}

// A caller that never reads the reply: the helper gives up on it and exits by itself.
TEST_F(BindHelperAsNobody, ACallerThatNeverReadsDoesNotKeepTheHelper) {
    const HelperRun run = ask("udp dev=pfveth0 69", true);
    ASSERT_NE(run.status, -1) << "the helper was still running";
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status;
}

} // namespace
} // namespace posflash
