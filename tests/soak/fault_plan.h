#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <vector>

namespace posflash::soak {

// What the simulated printer does wrong during one download; the headline of a plan.
enum class FaultKind { None, Refuse, Drop, WrongNo, Late, Disconnect, Silence };
inline constexpr int kFaultKindCount = 7;
QString FaultKindName(FaultKind kind);

// One misbehaviour aimed at one data frame.
struct FrameFault {
    FaultKind kind = FaultKind::None; // Refuse, Drop, WrongNo or Late
    std::uint16_t frame = 0;
    int copies = 0; // Refuse, Drop, WrongNo: how many copies of the frame meet the fault
    int status = 5; // Refuse
    int lateMs = 0; // Late: every copy is answered this long after it arrived
};

struct DownloadPlan {
    FaultKind kind = FaultKind::None;
    bool font = false;
    std::size_t imageSize = 0;
    int frames = 0;
    std::vector<FrameFault> frameFaults; // on distinct frames
    bool noise = false;
    std::optional<std::uint16_t> disconnectAfter;
    bool silent = false;

    // The simulated printer's fault options for this plan.
    QStringList simArguments() const;
    QString describe() const;
};

// What the printer must have seen and what the tool must report, worked out from the faults
// alone and the tool's published waits: 3 attempts per frame, 350 ms per data-frame attempt,
// 3000 ms per start-frame attempt, a refusal ending its attempt at once, 200 ms before the
// port closes.
struct Expectation {
    bool completed = false;
    int startFrames = 1;
    int endFrames = 0;
    int finalFrames = 0;
    std::map<std::uint16_t, int> copies; // data frame -> copies the printer received
    int minMs = 0;                       // what the waits cost at least
};

Expectation Expect(const DownloadPlan& plan);

// count plans in a random order, every headline kind represented in fixed proportions; the
// costly whole-printer silence (three start-frame waits of 3 s) once.
std::vector<DownloadPlan> MakePlans(std::mt19937_64& random, int count);

} // namespace posflash::soak
