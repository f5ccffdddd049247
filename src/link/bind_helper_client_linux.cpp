#include "link/bind_helper_client.h"

#include "base/helper_program.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace posflash {

namespace {

constexpr int kHelperFd = 3; // where the helper expects its socket
// It only binds two sockets; a helper that says nothing in this long is stopped.
constexpr int kAnswerWaitMs = 5000;
constexpr const char* kHelperName = "posflash-bind-helper";

HelperAnswer failed(int error, const QString& text, quint16 port = 0) {
    return {{}, error, port, text};
}

HelperAnswer systemFailure(int error) {
    return failed(error, QString::fromLocal8Bit(std::strerror(error)));
}

// The helper's reply: "ok" with the descriptors, "failed PORT ERRNO TEXT" or "refused TEXT".
HelperAnswer readAnswer(const QByteArray& text, std::vector<int> fds, std::size_t asked) {
    if (text == "ok" && fds.size() == asked)
        return {std::move(fds), 0, 0, {}};
    for (const int fd : fds)
        ::close(fd);
    const QList<QByteArray> words = text.split(' ');
    if (words.size() >= 4 && words[0] == "failed")
        return failed(
            words[2].toInt(),
            QString::fromUtf8(text.mid(words[0].size() + words[1].size() + words[2].size() + 3)),
            static_cast<quint16>(words[1].toUInt()));
    if (text.startsWith("refused "))
        return failed(EINVAL, QString::fromUtf8(text.mid(8)));
    return failed(
        EPROTO,
        QStringLiteral("the bind helper answered \"%1\"").arg(QString::fromUtf8(text.left(80))));
}

} // namespace

QString BindHelperPath() {
    return HelperProgramPath(POSFLASH_BIND_HELPER_FROM_BIN, kHelperName, "bind-helper");
}

bool CapabilityGrantsBindService(const QByteArray& attribute) {
    constexpr quint32 kEffective = 0x000001; // VFS_CAP_FLAGS_EFFECTIVE
    constexpr int kNetBindService = 10;
    if (attribute.size() < 12)
        return false;
    const auto word = [&attribute](int at) {
        quint32 value = 0;
        for (int i = 3; i >= 0; --i)
            value = value << 8 | static_cast<quint8>(attribute[at + i]);
        return value;
    };
    const quint32 magic = word(0);
    const quint32 permitted = word(4);
    return (magic & kEffective) != 0 && (permitted >> kNetBindService & 1U) != 0;
}

bool BindHelperHoldsItsRight(const QString& helperPath) {
    char attribute[64];
    const ssize_t size = ::getxattr(QFile::encodeName(helperPath).constData(),
                                    "security.capability", attribute, sizeof attribute);
    return size > 0 && CapabilityGrantsBindService(QByteArray(attribute, size));
}

HelperAnswer BindThroughHelper(const QString& helperPath, const QString& interfaceName,
                               const std::vector<quint16>& ports) {
    QByteArray request = "udp dev=" + interfaceName.toUtf8();
    for (const quint16 port : ports)
        request += ' ' + QByteArray::number(port);
    return AskBindHelper(helperPath, request, ports.size());
}

HelperAnswer AskBindHelper(const QString& helperPath, const QByteArray& request,
                           std::size_t sockets) {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0)
        return systemFailure(errno);
    // Written before the helper starts: it finds the request waiting.
    if (::send(pair[0], request.constData(), static_cast<std::size_t>(request.size()),
               MSG_NOSIGNAL) != request.size()) {
        const int error = errno;
        ::close(pair[0]);
        ::close(pair[1]);
        return systemFailure(error);
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // dup2 onto itself would keep close-on-exec: a socket that is already descriptor 3 moves.
    const int given =
        pair[1] == kHelperFd ? ::fcntl(pair[1], F_DUPFD_CLOEXEC, kHelperFd + 1) : pair[1];
    posix_spawn_file_actions_adddup2(&actions, given, kHelperFd);
    const QByteArray program = QFile::encodeName(helperPath);
    char* const argv[] = {const_cast<char*>(program.constData()), nullptr};
    char* const noEnvironment[] = {nullptr};
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv, noEnvironment);
    posix_spawn_file_actions_destroy(&actions);
    if (given != pair[1])
        ::close(given);
    ::close(pair[1]);
    if (spawned != 0) {
        ::close(pair[0]);
        return failed(spawned, QString::fromLocal8Bit(std::strerror(spawned)));
    }

    pollfd readable{pair[0], POLLIN, 0};
    const int ready = ::poll(&readable, 1, kAnswerWaitMs);
    char text[256];
    std::vector<char> control(CMSG_SPACE(sizeof(int) * sockets));
    iovec part{text, sizeof text};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    const ssize_t size = ready > 0 ? ::recvmsg(pair[0], &message, MSG_CMSG_CLOEXEC) : -1;
    const int error = ready == 0 ? ETIMEDOUT : errno;
    ::close(pair[0]);
    if (ready == 0)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    std::vector<int> fds;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); size >= 0 && header != nullptr;
         header = CMSG_NXTHDR(&message, header))
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS) {
            const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            const auto* data = reinterpret_cast<const int*>(CMSG_DATA(header));
            fds.insert(fds.end(), data, data + count);
        }
    if (size < 0)
        return systemFailure(error);
    if (size == 0)
        return failed(EPROTO, QStringLiteral("the bind helper ended without an answer"));
    return readAnswer(QByteArray(text, static_cast<qsizetype>(size)), std::move(fds), sockets);
}

} // namespace posflash
