// posflash-bind-helper: the one program of posflash that may hold cap_net_bind_service. It
// binds UDP ports 67 and 69 on one network interface and nothing else, hands the bound sockets
// to its caller over the Unix socket it was started with (descriptor 3) and exits. libc and the
// C++ standard library only: no toolkit, no plugins, no locale, and none of the environment it
// inherited.
//
// The caller writes one request ("udp dev=eth0 67 69") and reads one reply:
//   "ok"                              the sockets follow as SCM_RIGHTS, in the order asked
//   "failed PORT ERRNO TEXT"          the port could not be bound (EADDRINUSE: another socket
//                                     holds it)
//   "refused TEXT"                    the request was not one the helper takes
//
// What it lends is the link's own: the wildcard address on the named interface, or one of that
// interface's own addresses; never a port another socket holds (no SO_REUSEADDR), so no other
// service's datagrams are diverted to the caller.
#include "bind-helper/bind_request.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

using namespace posflash::bind_helper;

namespace {

constexpr int kCallerFd = 3;
// A caller that starts the helper and never writes, or never reads, does not keep it (nor the
// ports it bound).
constexpr int kRequestWaitSeconds = 3;
constexpr int kReplyWaitSeconds = 3;
// Whatever happens, the process ends by then: SIGALRM's default action ends it.
constexpr unsigned kLifetimeSeconds = 8;

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

// Refused unless the interface exists, is not a loopback, and (for an address other than the
// wildcard) holds that address itself: never another host's address, nor another interface's.
std::string interfaceRefusal(const BindRequest& request) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return std::string("the interfaces cannot be listed: ") + std::strerror(errno);
    bool exists = false, loopback = false, holdsAddress = false;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (request.interfaceName != entry->ifa_name)
            continue;
        exists = true;
        loopback = loopback || (entry->ifa_flags & IFF_LOOPBACK) != 0;
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET) {
            const auto* own = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            holdsAddress = holdsAddress || std::memcmp(&own->sin_addr, request.address.data(),
                                                       request.address.size()) == 0;
        }
    }
    ::freeifaddrs(list);
    const bool wildcard = request.address == std::array<std::uint8_t, 4>{};
    if (!exists)
        return "no interface " + request.interfaceName + " on this host";
    if (loopback)
        return request.interfaceName + " is a loopback interface; printers are never there";
    if (!wildcard && !holdsAddress)
        return "the address is not one of " + request.interfaceName + "'s own";
    return {};
}

// One UDP socket on the port, bound to the interface, with what the link needs: broadcasts
// (BOOTP answers go to 255.255.255.255). Never SO_REUSEADDR: a port another socket holds stays
// its own.
int bindPort(const BindRequest& request, std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    std::memcpy(&address.sin_addr, request.address.data(), request.address.size());
    const bool bound = ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0 &&
                       ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, request.interfaceName.c_str(),
                                    static_cast<socklen_t>(request.interfaceName.size())) == 0 &&
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
    // First of all: however its caller behaves, the helper does not outlive this.
    ::alarm(kLifetimeSeconds);
    // Nothing inherited is trusted; the helper reads no variable at all.
    ::clearenv();
    if (argc != 1 || !isUnixSocket(kCallerFd)) {
        std::fprintf(stderr, "posflash-bind-helper: started by posflash and posflash-cli with a "
                             "Unix socket as descriptor 3; it takes no arguments\n");
        return 2;
    }
    const timeval requestWait{kRequestWaitSeconds, 0};
    const timeval replyWait{kReplyWaitSeconds, 0};
    if (::setsockopt(kCallerFd, SOL_SOCKET, SO_RCVTIMEO, &requestWait, sizeof requestWait) != 0 ||
        ::setsockopt(kCallerFd, SOL_SOCKET, SO_SNDTIMEO, &replyWait, sizeof replyWait) != 0)
        return 1;
    char buffer[kMaxRequestSize + 1];
    const ssize_t size = ::recv(kCallerFd, buffer, sizeof buffer, 0);
    if (size < 0)
        return exitWith(2, std::string("refused no request: ") + std::strerror(errno));
    const ParsedRequest parsed =
        ParseBindRequest(std::string_view(buffer, static_cast<std::size_t>(size)));
    if (!parsed.request)
        return exitWith(2, "refused " + parsed.refusal);
    if (const std::string why = interfaceRefusal(*parsed.request); !why.empty())
        return exitWith(2, "refused " + why);

    std::vector<int> fds;
    for (const std::uint16_t port : parsed.request->ports) {
        const int fd = bindPort(*parsed.request, port);
        if (fd < 0) {
            const int error = errno;
            const std::string why = error == EADDRINUSE ? "port " + std::to_string(port) +
                                                              " is in use: another program holds it"
                                                        : std::string(std::strerror(error));
            return exitWith(1, "failed " + std::to_string(port) + " " + std::to_string(error) +
                                   " " + why);
        }
        fds.push_back(fd);
    }
    return reply("ok", fds) ? 0 : 1;
}
