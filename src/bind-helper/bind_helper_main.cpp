// posflash-bind-helper: the one program of posflash that may hold cap_net_bind_service. It
// binds UDP ports 67 and 69 and nothing else, hands the bound sockets to its caller over the
// Unix socket it was started with (descriptor 3) and exits. libc and the C++ standard library
// only: no toolkit, no plugins, no locale, and none of the environment it inherited.
//
// The caller writes one request ("udp 0.0.0.0 67 69") and reads one reply:
//   "ok"                              the sockets follow as SCM_RIGHTS, in the order asked
//   "failed PORT ERRNO TEXT"          the port could not be bound
//   "refused TEXT"                    the request was not one the helper takes
#include "bind-helper/bind_request.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

using namespace posflash::bind_helper;

namespace {

constexpr int kCallerFd = 3;
// A caller that starts the helper and never writes does not keep it.
constexpr int kRequestWaitSeconds = 5;

bool isUnixSocket(int fd) {
    int domain = 0;
    socklen_t size = sizeof domain;
    return ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &size) == 0 && domain == AF_UNIX;
}

bool reply(const std::string& text, const std::vector<int>& fds = {}) {
    msghdr message{};
    iovec part{const_cast<char*>(text.data()), text.size()};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    std::vector<char> control(CMSG_SPACE(sizeof(int) * fds.size()));
    if (!fds.empty()) {
        message.msg_control = control.data();
        message.msg_controllen = control.size();
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
        std::memcpy(CMSG_DATA(header), fds.data(), sizeof(int) * fds.size());
    }
    return ::sendmsg(kCallerFd, &message, MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// The caller shows the refusal in its own words.
int exitWith(int code, const std::string& text) {
    reply(text);
    return code;
}

// One UDP socket on the port, with what the link needs: broadcasts (BOOTP answers go to
// 255.255.255.255) and a port another socket of the same user may share, as Qt's own bind.
int bindPort(const BindRequest& request, std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    std::memcpy(&address.sin_addr, request.address.data(), request.address.size());
    const bool bound = ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
                       ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 &&
                       (request.interfaceName.empty() ||
                        ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, request.interfaceName.c_str(),
                                     static_cast<socklen_t>(request.interfaceName.size())) == 0) &&
                       ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    if (bound)
        return fd;
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
}

} // namespace

int main(int argc, char**) {
    // Nothing inherited is trusted; the helper reads no variable at all.
    ::clearenv();
    if (argc != 1 || !isUnixSocket(kCallerFd)) {
        std::fprintf(stderr, "posflash-bind-helper: started by posflash and posflash-cli with a "
                             "Unix socket as descriptor 3; it takes no arguments\n");
        return 2;
    }
    const timeval wait{kRequestWaitSeconds, 0};
    ::setsockopt(kCallerFd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char buffer[kMaxRequestSize + 1];
    const ssize_t size = ::recv(kCallerFd, buffer, sizeof buffer, 0);
    if (size < 0)
        return exitWith(2, std::string("refused no request: ") + std::strerror(errno));
    const ParsedRequest parsed =
        ParseBindRequest(std::string_view(buffer, static_cast<std::size_t>(size)));
    if (!parsed.request)
        return exitWith(2, "refused " + parsed.refusal);

    std::vector<int> fds;
    for (const std::uint16_t port : parsed.request->ports) {
        const int fd = bindPort(*parsed.request, port);
        if (fd < 0) {
            const int error = errno;
            return exitWith(1, "failed " + std::to_string(port) + " " + std::to_string(error) +
                                   " " + std::strerror(error));
        }
        fds.push_back(fd);
    }
    return reply("ok", fds) ? 0 : 1;
}
