#pragma once

#include "download/progress_estimate.h"

#include <QString>

namespace posflash {

class CauseTexts;

// One download's progress as the views show it, a printer or several alike:
// " 63%  128/200 KiB  45.2 KiB/s  0:17 left".
struct ProgressFigures {
    int accepted = 0;
    int frames = 0;
    qint64 bytesDone = 0;
    qint64 bytesTotal = 0;
    double kibPerSecond = 0;
    std::optional<qint64> leftMs;
};

QString ProgressText(const CauseTexts& texts, const ProgressFigures& figures);

// The figures of accepted of frames data frames of frameBytes each, of an image of
// imageBytes (0: unknown, frames * frameBytes is shown), at nowMs.
ProgressFigures FiguresOf(const ProgressEstimate& estimate, qint64 nowMs, int accepted, int frames,
                          int frameBytes, qint64 imageBytes);

// m:ss, rounded up.
QString ClockText(qint64 ms);

} // namespace posflash
