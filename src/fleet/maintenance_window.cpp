#include "fleet/maintenance_window.h"

#include <QRegularExpression>

namespace posflash {

std::optional<MaintenanceWindow> MaintenanceWindow::parse(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^([01][0-9]|2[0-3]):([0-5][0-9])-([01][0-9]|2[0-3]):([0-5][0-9])$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const MaintenanceWindow window{m.captured(1).toInt() * 60 + m.captured(2).toInt(),
                                   m.captured(3).toInt() * 60 + m.captured(4).toInt()};
    // An empty window would start nothing ever; one of a whole day needs no window.
    if (window.startMinute == window.endMinute)
        return std::nullopt;
    return window;
}

bool MaintenanceWindow::contains(const QDateTime& instant, const QTimeZone& zone) const {
    const QTime local = instant.toTimeZone(zone).time();
    const int minute = local.hour() * 60 + local.minute();
    if (startMinute < endMinute)
        return minute >= startMinute && minute < endMinute;
    return minute >= startMinute || minute < endMinute;
}

std::optional<QTimeZone> StoreTimeZone(const QString& name) {
    if (name.isEmpty())
        return QTimeZone::systemTimeZone();
    const QTimeZone zone(name.toUtf8());
    if (!zone.isValid())
        return std::nullopt;
    return zone;
}

} // namespace posflash
