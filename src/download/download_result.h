#pragma once

#include "base/error.h"
#include "base/printer.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace posflash {

// What happened to a download.
enum class Outcome {
    Completed,
    Failed,
    Cancelled,
    Refused, // the tool refused the job before sending anything
};

// Why, as a stable code that scripts and the history may rely on. The names are in
// docs/cause-codes.md; add new codes at the end, never rename one.
enum class Cause {
    None,               // completed
    Cancelled,          // the user's cancel (button, Ctrl-C, SIGTERM, window closed)
    Stopped,            // ended at once, closing frames cut: the printer may hold a partial image
    PrinterSilent,      // a frame got no acceptance, though sent again
    PrinterRefused,     // the last send of a frame was refused (status 5 or 6)
    WrongFrameNumber,   // acceptances came, but for another frame number
    Disconnected,       // the serial device or the connection went away
    PortMissing,        // no such COM number or device node
    PortBusy,           // the port is open elsewhere
    Permission,         // the system refused access to the device
    BindRefused,        // UDP port 67 or 69 could not be bound
    LinkTimeout,        // the boot loader did not answer within the job's limit
    PrinterAbsent,      // no printer USB device present for a COM link
    AddressMissing,     // an empty IP or MAC address
    BadAddress,         // an IP or MAC address text that is not one
    FileNameTooLong,    // the image's name does not fit the BOOTP reply
    MonitorUnreachable, // the running firmware's TCP port did not answer or closed
    FileNotOpen,        // no image path, or the file cannot be read
    BadTrailer,         // a program whose trailer sum does not match
    TooLarge,           // an image longer than the frames can number
    EmptyImage,         // a file of no bytes
    ImageChanged,       // the file's bytes are not those checked before the run
    Busy,               // a download or boot-loader command already runs on this printer
    // The line recipe the run is under refused it, before any frame (src/recipe).
    RecipeSignature,    // no signature, or one that does not verify
    RecipeUntrustedKey, // signed by a key the station does not trust
    RecipeInvalid,      // not a recipe this program reads
    RecipeExpired,      // past the recipe's expiry
    RecipeImage,        // the image is not the approved one (hash, size or kind)
    RecipeTarget,       // the printer is on a port the recipe does not allow
    RecipeLabel,        // the label is missing or does not match the recipe's pattern
    RecipeName,         // the signed recipe is named otherwise than the name asked for
    RecipeRollback,     // the recipe is older than one this station has verified
    PortNotSerial,      // the node named is there but is no serial line (/dev/null, a folder)
    RecipeUnreadable,   // the recipe file named cannot be read (mistyped, not a file, no right)
    // A rollout's: nothing was sent and a later run may do it (pending), or the printer did not
    // come back after its update.
    OutsideWindow, // now is outside the store's maintenance window
    NotAnswering,  // neither the running firmware nor, after the boot command, the boot loader
    NotBack,       // completed, but the firmware did not answer again in time afterwards
};

// The stable name ("printer-silent"), and back; an unknown name gives nothing.
QString CauseName(Cause cause);
std::optional<Cause> CauseFromName(const QString& name);
QString OutcomeName(Outcome outcome); // "completed", "failed", "cancelled", "refused"

// How far a download got.
enum class Stage {
    Start,  // refused before anything was shown or opened
    Link,   // the link to the boot loader
    Image,  // the image judged after the link
    Frames, // the start, data and closing frames
};

struct DownloadResult {
    Outcome outcome = Outcome::Failed;
    Cause cause = Cause::None;
    Error error; // the project's text in the face in force, and the system's words
    Stage stage = Stage::Start;
    short step = 0;        // the boot-loader step in progress at the end
    int frame = 0;         // the data frame in progress (from 1), 0 before the data frames; after a
                           // cancel, the one the run stopped before sending
    int attempts = 0;      // sends of the frame in progress (a frame's tries, not the unit's)
    int retries = 0;       // resends: sends beyond each frame's first, over the whole download
    int refusalStatus = 0; // the printer's status byte (5 or 6) when it refused the last try
    qint64 bytes = -1;     // image length; unknown until the image is read
    QByteArray sha256;     // the image's SHA-256 (32 bytes), once read
    int frames = 0;        // data frames of the image
    int framesAccepted = 0;
    int crc16 = -1; // the start frame's CRC-16 of the image, once built
    qint64 elapsedMs = 0;
    int linkTimeoutMs = 0; // the job's limit on the link wait; 0: none
    QDateTime startedAt;
    QString imagePath;
    QByteArray imageName; // the job's imageName
    bool font = false;
    Printer printer; // the job's, with what aiming at its serial line learnt
};

} // namespace posflash
