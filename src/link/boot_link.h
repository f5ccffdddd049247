#pragma once

#include "base/bytes.h"

#include <functional>

namespace posflash {

class Faces;
class Panel;
class UsbClass;
class WaitHub;
struct DownloadState;
struct PortState;

// The network half of the boot link: the BOOTP responder and link socket, or the running
// firmware's TCP connection for a font download.
class NetworkLink {
public:
    virtual ~NetworkLink() = default;
    // Prepares the sockets for a link through the boot loader (step 0); False when the link
    // cannot start (the reason is shown by then).
    virtual bool startBootLoaderLink() = 0;
    // Asks the running firmware to enter font-download mode; True when connected after it.
    virtual bool startFontModeLink() = 0;
    // False once the running firmware's connection closed or failed after the command.
    virtual bool fontModeLinkUp() const = 0;
    // The printer's first datagram on the link port arrived (step 1).
    virtual void linkDatagramArrived() = 0;
};

// Brings up the link to the printer's boot loader, and judges every reply of the printer.
class BootLink {
public:
    BootLink(DownloadState& download, PortState& ports, UsbClass& usb, WaitHub& waits, Panel& panel,
             const Faces& faces);

    void Bootloadr_Link();

    // The reply checker for every transport: judges one reception against the step.
    void udpTFTP_DataArrival(ByteView reply);
    // A datagram on the link socket; judged when replies are read from the socket.
    void socketArrival(ByteView datagram);
    // count bytes a receive event put in ReceiveBuffer; judged when replies are read there.
    void receiveBufferArrival(std::size_t count);

    void setNetworkLink(NetworkLink* network) { network_ = network; }
    // True when the last link could not even start (an address refused, a port taken):
    // its stop is a failure, not the user's cancel.
    bool linkRefused() const { return linkRefused_; }
    std::function<bool()> fontBootDown;
    // Starts and stops Timer1 of the driver.
    std::function<void()> startElapsedTimer;

private:
    bool linkOverNetwork();

    DownloadState& download_;
    PortState& ports_;
    UsbClass& usb_;
    WaitHub& waits_;
    Panel& panel_;
    const Faces& faces_;
    NetworkLink* network_ = nullptr;
    bool linkRefused_ = false;
};

} // namespace posflash
