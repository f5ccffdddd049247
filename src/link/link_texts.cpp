#include "link/link_texts.h"

#include "base/faces.h"

namespace posflash::link_texts {

namespace {
constexpr char kContext[] = "Netboot";
constexpr auto t = TextIn<kContext>;
} // namespace

QString invalidIp(const Faces& f, const QString& text) {
    return t(f, QT_TRANSLATE_NOOP("Netboot", "The IP address \"%1\" is not valid: write four "
                                             "numbers from 0 to 255 joined by dots, such as "
                                             "192.168.123.100."))
        .arg(text);
}

QString invalidMac(const Faces& f, const QString& text) {
    return t(f, QT_TRANSLATE_NOOP("Netboot", "The MAC address \"%1\" is not valid: write six "
                                             "two-digit hexadecimal numbers joined by \"-\", "
                                             "such as 00-11-22-33-44-55."))
        .arg(text);
}

QString fileNameTooLong(const Faces& f, const QString& name) {
    return t(f, QT_TRANSLATE_NOOP("Netboot", "The file name \"%1\" is longer than the 128 bytes "
                                             "the printer accepts; rename the file."))
        .arg(name);
}

QString bindFailed(const Faces& f, int port, const QString& reason, const QString& helper) {
    return t(f, QT_TRANSLATE_NOOP("Netboot",
                                  "Cannot use UDP port %1 (%2). Close any other program that "
                                  "uses it (a DHCP or TFTP server), and give posflash's bind "
                                  "helper the right to use ports below 1024: sudo setcap "
                                  "cap_net_bind_service+ep %3"))
        .arg(port)
        .arg(reason, helper);
}

QString portHeldByAnother(const Faces& f, int port) {
    return t(f, QT_TRANSLATE_NOOP("Netboot", "UDP port %1 is in use: another program holds it (a "
                                             "DHCP or TFTP server?). Close that program and try "
                                             "again."))
        .arg(port);
}

QString answeredWithoutGreeting(const Faces& f, const QString& requester, const QString& printer) {
    return t(f, QT_TRANSLATE_NOOP("Netboot", "The BOOTP request from %1 was answered, but no "
                                             "printer greeted from %2: answering the next request "
                                             "with the printer's MAC address."))
        .arg(requester, printer);
}

QString linkFromOtherAddress(const Faces& f, const QString& sender, const QString& printer) {
    return t(f, QT_TRANSLATE_NOOP("Netboot", "A printer at %1 answered and was ignored: the IP "
                                             "address is set to %2. Check the IP address."))
        .arg(sender, printer);
}

} // namespace posflash::link_texts
