#pragma once

#include "base/bytes.h"
#include "base/error.h"
#include "link/link_state.h"

#include <functional>

namespace posflash {

class Faces;
class Panel;
class PortModel;
class UsbClass;
class WaitHub;

// The network half of the boot link: the BOOTP responder and link socket, or the running
// firmware's TCP connection for a font download.
class NetworkLink {
public:
    virtual ~NetworkLink() = default;
    // Prepares the sockets for a link through the boot loader (step 0); the error when the
    // link cannot start. An error without text has been shown already.
    virtual Failure startBootLoaderLink() = 0;
    // Asks the running firmware to enter font-download mode; an error unless connected after.
    virtual Failure startFontModeLink() = 0;
    // False once the running firmware's connection closed or failed after the command.
    virtual bool fontModeLinkUp() const = 0;
    // The printer's first datagram on the link port arrived (step 1).
    virtual void linkDatagramArrived() = 0;
    // Closes the link socket, the responder and the running firmware's connection.
    virtual void closeLink() = 0;
};

// Brings up the link to the printer's boot loader, and judges every reply of the printer.
// Owns the LinkState of the download in progress.
class BootLink {
public:
    BootLink(PortModel& portModel, UsbClass& usb, WaitHub& waits, Panel& panel, const Faces& faces);

    const LinkState& state() const { return state_; }

    // A download begins: what it sends and where its replies are read.
    void beginDownload(bool font);
    // A download ended, however it ended.
    void endDownload();

    void Bootloadr_Link();

    // The step whose answer is awaited, and the data frame whose acceptance is.
    void setStep(short step);
    void setExpectedFrameNo(short frameNo);
    // Clears the verdict before a reply is awaited.
    void clearReplyResult();
    // The cancel button: ends the link wait and the frame loop at their next check.
    void requestAbort();

    // The reply checker for every transport: judges one reception against the step.
    void udpTFTP_DataArrival(ByteView reply);
    // A datagram on the link socket; judged when replies are read from the socket.
    void socketArrival(ByteView datagram);
    // One arrival placed in ReceiveBuffer; judged when replies are read there.
    void receiveBufferArrival(ByteView received);

    void setNetworkLink(NetworkLink* network) { network_ = network; }
    // Closes whatever the network link opened (the end of a network download).
    void closeNetworkLink();
    // True when the last link could not even start (an address refused, a port taken):
    // its stop is a failure, not the user's cancel.
    bool linkRefused() const { return linkRefused_; }
    // Whether the download in progress sends a font through the running firmware.
    bool fontThroughFirmware() const;

    // Calls up to the driver: the link step starts its elapsed-time timer from zero.
    std::function<void()> startElapsedTimer;

private:
    bool linkOverNetwork();

    PortModel& portModel_;
    UsbClass& usb_;
    WaitHub& waits_;
    Panel& panel_;
    const Faces& faces_;
    LinkState state_;
    NetworkLink* network_ = nullptr;
    bool linkRefused_ = false;
};

} // namespace posflash
