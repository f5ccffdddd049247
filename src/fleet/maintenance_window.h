#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace posflash {

// A store's nightly maintenance window, in minutes after its local midnight: from start up to
// (not including) end. A window whose end is before its start crosses midnight.
struct MaintenanceWindow {
    int startMinute = 0;
    int endMinute = 0;

    // "HH:MM-HH:MM" (00:00 to 23:59 each, two different times), else nothing.
    static std::optional<MaintenanceWindow> parse(const QString& text);
    // Whether the instant falls inside the window on the zone's wall clock.
    bool contains(const QDateTime& instant, const QTimeZone& zone) const;
};

// The zone an IANA name gives ("Asia/Shanghai"); empty: the system's; nothing when unknown.
std::optional<QTimeZone> StoreTimeZone(const QString& name);

} // namespace posflash
