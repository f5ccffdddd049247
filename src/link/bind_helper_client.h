#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace posflash {

// posflash-bind-helper, the small program that alone holds the right to bind UDP ports 67 and
// 69 (src/bind-helper): where it is, and asking it for bound sockets.

// The helper this program uses: the installed one (its path is compiled in), else the one
// beside this program or in the build tree's bind-helper folder beside this program's. Never
// found through PATH or a variable a caller could point at another program. The installed
// path when there is none, for the messages that name it.
QString BindHelperPath();

// Whether the helper's file carries cap_net_bind_service, effective: its security.capability
// attribute, read without running it. For the window's first-start check.
bool BindHelperHoldsItsRight(const QString& helperPath);
// The same over the attribute's bytes (struct vfs_cap_data, little-endian).
bool CapabilityGrantsBindService(const QByteArray& attribute);

struct HelperAnswer {
    std::vector<int> fds; // the bound sockets, in the order asked; empty when refused
    int error = 0;        // errno of the refusal: ENOENT without a helper, EACCES without its
                          // right, EADDRINUSE when another socket holds the port
    quint16 port = 0;     // the port the refusal is about, 0 when it is about the request
    QString text;         // the helper's or the system's own words
};

// Runs the helper with an empty environment and asks for UDP ports on the wildcard address of
// one interface (the sockets receive and send there only). Blocks until it answered (it binds
// and exits at once), at most a few seconds.
HelperAnswer BindThroughHelper(const QString& helperPath, const QString& interfaceName,
                               const std::vector<quint16>& ports);
// The same with the request's text as written ("udp dev=eth0 67 69"), for that many sockets.
HelperAnswer AskBindHelper(const QString& helperPath, const QByteArray& request,
                           std::size_t sockets);

} // namespace posflash
