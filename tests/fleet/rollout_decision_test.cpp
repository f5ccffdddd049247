// A store's rollout decisions at their own API: the window, the printers already current, and
// what a printer's end means to the rollout and its exit status.
#include "fleet/fleet_outcome.h"
#include "fleet/maintenance_window.h"
#include "unit/last_download.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(RolloutDecision, AWindowHoldsOnTheStoresWallClockAcrossMidnightAndBadFormsAreRefused) {
    const auto night = MaintenanceWindow::parse("22:00-05:00");
    const auto day = MaintenanceWindow::parse("09:30-10:00");
    ASSERT_TRUE(night && day);
    const QTimeZone shanghai("Asia/Shanghai"), berlin("Europe/Berlin");
    struct Case {
        const char* utc;
        const QTimeZone& zone;
        bool inNight, inDay;
    };
    // clang-format off
    const Case cases[] = {
        {"2026-12-08T14:00:00Z", shanghai, true, false},  // 22:00 there: the window's first minute
        {"2026-12-08T13:59:00Z", shanghai, false, false}, // 21:59
        {"2026-12-08T20:59:00Z", shanghai, true, false},  // 04:59 the next day
        {"2026-12-08T21:00:00Z", shanghai, false, false}, // 05:00: the end is outside
        {"2026-12-08T14:00:00Z", berlin, false, false},   // 15:00 in Berlin at the same instant
        {"2026-07-08T08:30:00Z", berlin, false, false},   // 10:30 by summer time
        {"2026-12-08T08:30:00Z", berlin, false, true},    // 09:30 in winter
    };
    // clang-format on
    for (const Case& c : cases) {
        const QDateTime at = QDateTime::fromString(c.utc, Qt::ISODate);
        SCOPED_TRACE(c.utc);
        EXPECT_EQ(night->contains(at, c.zone), c.inNight);
        EXPECT_EQ(day->contains(at, c.zone), c.inDay);
    }
    for (const char* bad : {"22:00-22:00", "24:00-05:00", "2200-0500", "22:00", "9:00-10:00", ""})
        EXPECT_FALSE(MaintenanceWindow::parse(bad)) << bad;
    EXPECT_FALSE(StoreTimeZone("Mars/Olympus_Mons"));
    EXPECT_TRUE(StoreTimeZone("") && StoreTimeZone("")->isValid());
}

TEST(RolloutDecision, APrinterIsCurrentByItsNewestCompletedImageFoundByMacOrSerial) {
    const QByteArray image(32, 'a'), older(32, 'b');
    const auto row = [](const char* mac, const char* serial, const QByteArray& sha) {
        HistoryRecord r;
        r.printer.mac = mac;
        r.printer.usbSerial = serial;
        r.sha256 = sha;
        r.kind = "program";
        return r;
    };
    // Newest first: the MAC written another way is the same printer.
    const LastDownloads last({row("00:11:22:33:44:55", "", image),
                              row("00-11-22-33-44-55", "", older), row("", "SN-1", older),
                              row("", "SN-1", image)});
    Printer network{.ip = "10.0.0.2", .mac = "00-11-22-33-44-55"};
    Printer usb{.usbPath = "1-1", .usbSerial = "SN-1"};
    Printer other{.ip = "10.0.0.3", .mac = "00-11-22-33-44-66"};
    EXPECT_TRUE(IsCurrent(last.of(network), image, "program"));
    EXPECT_FALSE(IsCurrent(last.of(network), image, "font"));
    EXPECT_FALSE(IsCurrent(last.of(usb), image, "program")); // its newest is the older image
    EXPECT_TRUE(IsCurrent(last.of(usb), older, "program"));
    EXPECT_EQ(last.of(other), nullptr);
    EXPECT_FALSE(IsCurrent(nullptr, image, "program"));
}

TEST(RolloutDecision, EachEndMapsToTheRolloutsOutcomeAndTheRunsExitStatus) {
    using F = FleetOutcome;
    struct Case {
        Outcome outcome;
        Cause cause;
        bool reached;
        std::optional<bool> back;
        F fleet;
        Cause fleetCause;
    };
    // clang-format off
    const Case cases[] = {
        {Outcome::Completed, Cause::None,           true,  std::nullopt, F::Updated, Cause::None},
        {Outcome::Completed, Cause::None,           true,  true,         F::Updated, Cause::None},
        {Outcome::Completed, Cause::None,           true,  false,        F::Failed,  Cause::NotBack},
        {Outcome::Failed,    Cause::LinkTimeout,    false, std::nullopt, F::Pending, Cause::NotAnswering},
        {Outcome::Failed,    Cause::MonitorUnreachable, false, std::nullopt, F::Pending, Cause::NotAnswering},
        {Outcome::Failed,    Cause::Busy,           false, std::nullopt, F::Pending, Cause::Busy},
        {Outcome::Failed,    Cause::BindRefused,    false, std::nullopt, F::Pending, Cause::Busy},
        {Outcome::Failed,    Cause::PrinterSilent,  true,  std::nullopt, F::Failed,  Cause::PrinterSilent},
        {Outcome::Failed,    Cause::Disconnected,   true,  std::nullopt, F::Failed,  Cause::Disconnected},
        {Outcome::Refused,   Cause::RecipeTarget,   false, std::nullopt, F::Failed,  Cause::RecipeTarget},
        {Outcome::Cancelled, Cause::Cancelled,      false, std::nullopt, F::Failed,  Cause::Cancelled},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(CauseName(c.cause).toStdString());
        const FleetVerdict v = FleetVerdictOf(c.outcome, c.cause, c.reached, c.back);
        EXPECT_EQ(FleetOutcomeName(v.outcome), FleetOutcomeName(c.fleet));
        EXPECT_EQ(v.cause, c.fleetCause);
    }
    EXPECT_EQ(FleetExitStatus({F::Current, F::Updated, F::WouldUpdate}), 0);
    EXPECT_EQ(FleetExitStatus({}), 0);
    EXPECT_EQ(FleetExitStatus({F::Updated, F::Pending}), 3);
    EXPECT_EQ(FleetExitStatus({F::Pending, F::Failed, F::Current}), 1);
}

} // namespace
} // namespace posflash
