#pragma once

#include "base/image_kind.h"
#include "base/printer.h"
#include "download/loaded_image.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace posflash {

// The way the frames travel: the COM port, UDP through the boot loader's network link, or the
// running firmware's TCP connection (a font without a restart into the boot loader).
enum class Route { Com, Network, FontThroughFirmware };

// The route a front end's port choice gives: a font through the running firmware only on the
// network and only when it is not to go through the boot loader.
constexpr Route RouteFor(bool network, ImageKind kind, bool fontThroughBootLoader) {
    if (!network)
        return Route::Com;
    return kind == ImageKind::Font && !fontThroughBootLoader ? Route::FontThroughFirmware
                                                             : Route::Network;
}

// How often a frame is sent and how long the printer has to answer each kind: by default the
// boot loader's own figures.
struct FrameTiming {
    int attempts = 3;
    int startWaitMs = 3000;
    int dataWaitMs = 350;
    int endWaitMs = 6000;
    int finalWaitMs = 500;
};

// One download, as a value.
struct DownloadJob {
    Printer printer; // as the user named it
    QString imagePath;
    // The name the user gave, as bytes, when imagePath stands in for it (a name that is no
    // UTF-8, opened as /proc/self/fd/N); the history records this one.
    QByteArray imageName;
    ImageKind kind = ImageKind::Program;
    // The image already loaded (and checked against a recipe, if any), set by carry(): its bytes
    // are sent, still judged after the link, and no file is read. None: imagePath is read once
    // the link is up, as the window's downloads are.
    SharedImage image;
    Route route = Route::Com;
    // The link not up by then ends the job as failed (link-timeout); none: wait until stopped.
    std::optional<int> linkTimeoutMs;
    FrameTiming timing;

    // The job sends loaded, and names it as loaded was named.
    void carry(SharedImage loaded) {
        imagePath = loaded->path;
        imageName = loaded->name;
        kind = loaded->kind;
        image = std::move(loaded);
    }
};

} // namespace posflash
