#pragma once

#include "protocol/frames.h"

#include <QString>

namespace posflash {

// The values of one download and the counters, held for the whole run.
struct DownloadState {
    QString DownloadFilePath;
    int FrameDataSize = kProgramFrameDataSize;
    bool FontDownload = false;
    bool ReplyFromSocket = true;
    bool AbortRequested = false;
    int ElapsedTenths = 0;
    short BootloadrStep = 0;
    short ReplyResult = 0;
    short ExpectedFrameNo = 0;
    PcCode pcCode{};
    int DownloadTotal = 0;
    int DownloadNum = 0;
};

} // namespace posflash
