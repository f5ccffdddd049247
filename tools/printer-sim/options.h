#pragma once

#include "printer-sim/bootp.h"
#include "printer-sim/faults.h"
#include "printer-sim/net_address.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace posflash::sim {

enum class Mode { Serial, Net, App };

// The network modes' settings.
struct NetOptions {
    std::optional<Ipv4> ip; // the printer's address (net, app)
    std::optional<Mac> mac; // its hardware address (net, unless it greets)
    QByteArray brand = kDefaultBrand;
    std::size_t bootpLength = kBootpRequestSize;
    int requestsAfterReply = 0; // more requests once answered: the tool must ignore them
    bool greet = false;         // link with a status-1 frame instead of BOOTP
    std::optional<Ipv4> host;   // where the greeting goes
    int echo = 0;               // app: leading bytes of the boot command sent back
    // app: zero bytes written before each font-download reply, in the same write.
    std::size_t replyPadding = 0;
    // app: what the firmware does with the font-mode command instead of confirming it.
    enum class Hangup { None, Close, Reset } fontModeHangup = Hangup::None;
    // net: after a completed download the firmware answers on TCP port 4000 this many
    // milliseconds later (-1: never), and the boot-loader command brings the boot loader back.
    std::optional<int> restartIntoAppMs;
    // net: powered on running its firmware (on TCP port 4000), as a store's printer stands,
    // not in its boot loader; the boot-loader command brings the boot loader.
    bool running = false;
};

struct Options {
    Mode mode = Mode::Serial;
    QString link;   // symlink to the serial line, replaced if it exists
    QString out;    // received image, written at each final frame
    QString report; // JSON report, rewritten at each final frame and on exit
    bool once = false;
    std::optional<int> baud; // serial: pace both directions as a line at this speed would
    Faults faults;
    NetOptions net;
};

struct ParsedCommandLine {
    std::optional<Options> options; // set when the line was good
    bool help = false;
    bool version = false;
    QString error;
};

// The arguments after the program name. Nothing is opened or checked on disk here.
ParsedCommandLine ParseCommandLine(const QStringList& arguments);
QString UsageText();

} // namespace posflash::sim
