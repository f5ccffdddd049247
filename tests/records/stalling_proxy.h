#pragma once
// A TCP proxy on 127.0.0.1 that stops forwarding once the client has sent so many bytes and holds
// the connections open: a server that stops answering mid-statement. On a thread of its own.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace posflash::testing {

class StallingProxy {
public:
    StallingProxy(uint16_t upstream, size_t forwardBytes)
        : upstream_(upstream), budget_(forwardBytes) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a = loopback(0);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 8);
        socklen_t size = sizeof a;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
        if (::pipe2(stop_, O_CLOEXEC) != 0)
            stop_[0] = stop_[1] = -1;
        thread_ = std::thread([this] { run(); });
    }
    ~StallingProxy() {
        const char quit = 'q';
        if (::write(stop_[1], &quit, 1) != 1)
            ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        for (int fd : {listener_, stop_[0], stop_[1]})
            ::close(fd);
    }
    uint16_t port() const { return port_; }

private:
    static sockaddr_in loopback(uint16_t port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return a;
    }

    void run() {
        struct Pair {
            int client, server;
            bool open = true;
        };
        std::vector<Pair> pairs;
        size_t forwarded = 0;
        for (;;) {
            std::vector<pollfd> fds{{stop_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
            std::vector<size_t> of{0, 0}; // the pair each descriptor after the first two is of
            for (size_t k = 0; k < pairs.size() && forwarded < budget_; ++k)
                if (pairs[k].open)
                    for (int fd : {pairs[k].client, pairs[k].server})
                        fds.push_back({fd, POLLIN, 0}), of.push_back(k);
            if (::poll(fds.data(), fds.size(), -1) < 0)
                continue;
            if (fds[0].revents)
                break;
            if (fds[1].revents & POLLIN) {
                const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                sockaddr_in a = loopback(upstream_);
                if (client >= 0 && server >= 0 &&
                    ::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
                    pairs.push_back({client, server});
                else
                    ::close(client), ::close(server);
            }
            for (size_t i = 2; i < fds.size(); ++i) {
                Pair& p = pairs[of[i]];
                if (!(fds[i].revents & (POLLIN | POLLHUP)) || !p.open)
                    continue;
                const bool up = fds[i].fd == p.client;
                char buffer[16384];
                const size_t room =
                    up ? std::min(sizeof buffer, budget_ - forwarded) : sizeof buffer;
                if (room == 0)
                    continue;
                const ssize_t n = ::read(fds[i].fd, buffer, room);
                if (n <= 0) {
                    p.open = false; // closed here once the proxy ends
                    continue;
                }
                if (up)
                    forwarded += static_cast<size_t>(n);
                if (::write(up ? p.server : p.client, buffer, static_cast<size_t>(n)) != n)
                    continue;
            }
        }
        for (const Pair& p : pairs)
            ::close(p.client), ::close(p.server);
    }

    uint16_t upstream_;
    size_t budget_;
    uint16_t port_ = 0;
    int listener_ = -1;
    int stop_[2] = {-1, -1};
    std::thread thread_;
};

} // namespace posflash::testing
