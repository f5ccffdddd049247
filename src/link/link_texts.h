#pragma once

#include <QString>

namespace posflash {

class Faces;

namespace link_texts {
QString invalidIp(const Faces& f, const QString& text);
QString invalidMac(const Faces& f, const QString& text);
QString fileNameTooLong(const Faces& f, const QString& name);
// helper: the bind helper's path, which the remedy names.
QString bindFailed(const Faces& f, int port, const QString& reason, const QString& helper);
// Another socket holds the port: no right of ours would help.
QString portHeldByAnother(const Faces& f, int port);
// An answered BOOTP request with the printer's MAC brought no greeting from the printer.
QString answeredWithoutGreeting(const Faces& f, const QString& requester, const QString& printer);
// A boot loader knocked on the link port from an address other than the printer's.
QString linkFromOtherAddress(const Faces& f, const QString& sender, const QString& printer);

// Texts that exist in one language only.
inline QString emptyIp() {
    return QStringLiteral("IP 地址不能为空！");
}
inline QString emptyMac() {
    return QStringLiteral("MAC 地址不能为空！");
}
inline QString enterDownloadStatus() {
    return QStringLiteral("Enter the download status");
}
} // namespace link_texts

} // namespace posflash
