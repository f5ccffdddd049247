#pragma once

#include "printer-sim/boot_loader.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace posflash::sim {

// Nearest-rank percentile (percent 1 to 100); 0 for no samples.
std::int64_t Percentile(std::vector<std::int64_t> samples, int percent);

// The report file:
// {
//   "sessions_completed": 1,
//   "start_frames": 1, "data_frames": 3, "end_frames": 1, "final_frames": 1,
//   "other_frames": 0, "replies_sent": 6,
//   "last_session": SESSION,       the session begun by the last start frame
//   "sessions": [SESSION, ...],    each completed session, in order
//   "errors": ["frame #3 (data 2): FrameSum 0x1234, ...", ...], "errors_not_listed": 0,
//   "tool_time_per_frame_us": {"count": 5, "median": 80, "p99": 150, "max": 150,
//                              "samples": [...]}
// }
// SESSION = {"kind": "program" | "font" | "none", "kind_byte": 128, "image_length": 1000,
//            "image_crc": 12739, "crc_ok": true | false | null, "completed": true,
//            "frame_copies": {"1": 1, "2": 3}}
//
// A network mode adds its own fields, and its errors go first in "errors" (they happen before
// the frames): see NetBoot::report() and AppFirmware::report().
struct ReportAddition {
    QJsonObject fields;
    QStringList errors;
};

QByteArray ReportJson(const BootLoader& loader, const ReportAddition& addition = {});

// One line for stdout when a session completes.
QString SessionSummary(const SessionRecord& session, std::size_t number, std::size_t errors);

} // namespace posflash::sim
