#pragma once

#include "protocol/frames.h"

#include <QString>

namespace posflash {

// The driver's own values: those of the download in progress and the counters of the run.
struct DownloadState {
    QString DownloadFilePath;
    int FrameDataSize = kProgramFrameDataSize;
    int ElapsedTenths = 0;
    PcCode pcCode{};
    int DownloadTotal = 0;
    int DownloadNum = 0;
};

} // namespace posflash
