#include "cli/progress_text.h"

#include "unit/cause_texts.h"

#include <algorithm>

namespace posflash {

namespace {

// Both amounts in the unit the total reads best in.
QString amounts(qint64 done, qint64 total) {
    if (total < 10 * 1024)
        return QStringLiteral("%1/%2 B").arg(done).arg(total);
    if (total < 10 * 1024 * 1024)
        return QStringLiteral("%1/%2 KiB").arg(done / 1024).arg(total / 1024);
    const double mib = 1024.0 * 1024.0;
    return QStringLiteral("%1/%2 MiB")
        .arg(static_cast<double>(done) / mib, 0, 'f', 1)
        .arg(static_cast<double>(total) / mib, 0, 'f', 1);
}

} // namespace

QString ClockText(qint64 ms) {
    const qint64 s = (ms + 999) / 1000;
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

ProgressFigures FiguresOf(const ProgressEstimate& estimate, qint64 nowMs, int accepted, int frames,
                          int frameBytes, qint64 imageBytes) {
    ProgressFigures f;
    f.accepted = accepted;
    f.frames = frames;
    f.bytesTotal = imageBytes > 0 ? imageBytes : static_cast<qint64>(frames) * frameBytes;
    f.bytesDone = std::min(f.bytesTotal, static_cast<qint64>(accepted) * frameBytes);
    f.kibPerSecond = estimate.kibPerSecond(nowMs);
    f.leftMs = estimate.remainingMs(nowMs);
    return f;
}

QString ProgressText(const CauseTexts& texts, const ProgressFigures& f) {
    const int percent = f.frames > 0 ? f.accepted * 100 / f.frames : 0;
    QString s = QStringLiteral("%1%  ").arg(percent, 3) + amounts(f.bytesDone, f.bytesTotal);
    if (f.accepted < f.frames) {
        if (f.kibPerSecond > 0)
            s += QStringLiteral("  %1 KiB/s").arg(f.kibPerSecond, 0, 'f', 1);
        if (f.leftMs)
            s +=
                QStringLiteral("  ") +
                texts.text(QT_TRANSLATE_NOOP("MultiDownload", "%1 left")).arg(ClockText(*f.leftMs));
    }
    return s;
}

} // namespace posflash
