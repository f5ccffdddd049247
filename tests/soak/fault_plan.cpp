#include "soak/fault_plan.h"

#include <algorithm>

namespace posflash::soak {

namespace {

constexpr int kAttempts = 3;
constexpr int kDataWaitMs = 350;
constexpr int kStartWaitMs = 3000;
constexpr int kCloseDelayMs = 200;
constexpr std::size_t kProgramSlice = 512;
constexpr std::size_t kFontSlice = 1024;
constexpr int kMostFrames = 4;

// Lateness well inside the 1st, 2nd or 3rd attempt's wait, or after the 3rd: at least
// 120 ms from every edge, so a busy machine does not move a reply into another wait.
struct LateWindow {
    int low;
    int high;
    int weight;
};
constexpr LateWindow kLateWindows[] = {
    {120, 200, 30}, {480, 570, 30}, {830, 920, 25}, {1250, 1400, 15}};

// Headline kinds per 100 downloads; silence is added once on top.
struct KindShare {
    FaultKind kind;
    int per100;
};
constexpr KindShare kShares[] = {
    {FaultKind::None, 24},    {FaultKind::Refuse, 24}, {FaultKind::Drop, 13},
    {FaultKind::WrongNo, 10}, {FaultKind::Late, 18},   {FaultKind::Disconnect, 11},
};

int uniform(std::mt19937_64& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

bool chance(std::mt19937_64& random, int percent) {
    return uniform(random, 1, 100) <= percent;
}

// 1 or 2 copies, which the tool rides out, or 3, which fail the download.
int faultedCopies(std::mt19937_64& random) {
    const int roll = uniform(random, 1, 100);
    return roll <= 45 ? 1 : roll <= 80 ? 2 : 3;
}

int lateMs(std::mt19937_64& random) {
    int roll = uniform(random, 1, 100);
    for (const LateWindow& w : kLateWindows) {
        if (roll <= w.weight)
            return uniform(random, w.low, w.high);
        roll -= w.weight;
    }
    return kLateWindows[0].low;
}

FrameFault frameFault(std::mt19937_64& random, FaultKind kind, std::uint16_t frame) {
    FrameFault f;
    f.kind = kind;
    f.frame = frame;
    if (kind == FaultKind::Late)
        f.lateMs = lateMs(random);
    else
        f.copies = faultedCopies(random);
    if (kind == FaultKind::Refuse)
        f.status = chance(random, 50) ? 5 : 6;
    return f;
}

DownloadPlan makePlan(std::mt19937_64& random, FaultKind kind) {
    DownloadPlan plan;
    plan.kind = kind;
    plan.font = chance(random, 25);
    const std::size_t slice = plan.font ? kFontSlice : kProgramSlice;
    const int leastFrames = kind == FaultKind::Disconnect ? 2 : 1;
    plan.frames = kind == FaultKind::Silence ? 1 : uniform(random, leastFrames, kMostFrames);
    // At least the program trailer's four bytes and some data before it.
    plan.imageSize = slice * static_cast<std::size_t>(plan.frames - 1) +
                     static_cast<std::size_t>(uniform(random, 8, static_cast<int>(slice)));
    plan.noise = chance(random, 30);

    const auto anyFrame = [&] {
        return static_cast<std::uint16_t>(uniform(random, 1, plan.frames));
    };
    switch (kind) {
    case FaultKind::None:
        break;
    case FaultKind::Silence:
        plan.silent = true;
        break;
    case FaultKind::Disconnect:
        // Never after the last data frame: the end frame's three 6 s waits buy nothing here.
        plan.disconnectAfter = static_cast<std::uint16_t>(uniform(random, 1, plan.frames - 1));
        break;
    case FaultKind::Refuse:
    case FaultKind::Drop:
    case FaultKind::WrongNo:
    case FaultKind::Late: {
        plan.frameFaults.push_back(frameFault(random, kind, anyFrame()));
        // Sometimes a second, different fault on another frame.
        if (plan.frames >= 2 && chance(random, 30)) {
            std::uint16_t other = anyFrame();
            while (other == plan.frameFaults.front().frame)
                other = anyFrame();
            constexpr FaultKind kSecond[] = {FaultKind::Refuse, FaultKind::Drop, FaultKind::WrongNo,
                                             FaultKind::Late};
            plan.frameFaults.push_back(frameFault(random, kSecond[uniform(random, 0, 3)], other));
        }
        break;
    }
    }
    return plan;
}

} // namespace

QString FaultKindName(FaultKind kind) {
    switch (kind) {
    case FaultKind::None:
        return QStringLiteral("none");
    case FaultKind::Refuse:
        return QStringLiteral("refuse");
    case FaultKind::Drop:
        return QStringLiteral("drop");
    case FaultKind::WrongNo:
        return QStringLiteral("wrong-no");
    case FaultKind::Late:
        return QStringLiteral("late");
    case FaultKind::Disconnect:
        return QStringLiteral("disconnect");
    case FaultKind::Silence:
        return QStringLiteral("silence");
    }
    return {};
}

QStringList DownloadPlan::simArguments() const {
    QStringList args;
    for (const FrameFault& f : frameFaults) {
        switch (f.kind) {
        case FaultKind::Refuse:
            args << "--refuse"
                 << QStringLiteral("%1:%2:%3").arg(f.frame).arg(f.status).arg(f.copies);
            break;
        case FaultKind::Drop:
            args << "--drop" << QStringLiteral("%1:%2").arg(f.frame).arg(f.copies);
            break;
        case FaultKind::WrongNo:
            args << "--wrong-no" << QStringLiteral("%1:%2").arg(f.frame).arg(f.copies);
            break;
        case FaultKind::Late:
            args << "--late" << QStringLiteral("%1:%2").arg(f.frame).arg(f.lateMs);
            break;
        default:
            break;
        }
    }
    if (noise)
        args << "--noise";
    if (disconnectAfter)
        args << "--disconnect-after" << QString::number(*disconnectAfter);
    if (silent)
        args << "--silent";
    return args;
}

QString DownloadPlan::describe() const {
    return QStringLiteral("%1 %2 bytes (%3 frames), faults: [%4]")
        .arg(font ? "font" : "program")
        .arg(imageSize)
        .arg(frames)
        .arg(simArguments().join(' '));
}

Expectation Expect(const DownloadPlan& plan) {
    Expectation e;
    e.minMs = kCloseDelayMs;
    if (plan.silent) {
        e.startFrames = kAttempts;
        e.minMs += kAttempts * kStartWaitMs;
        return e;
    }
    for (int k = 1; k <= plan.frames; ++k) {
        const auto frame = static_cast<std::uint16_t>(k);
        if (plan.disconnectAfter && frame > *plan.disconnectAfter) {
            // The printer is gone: nothing reaches it, every attempt waits in vain.
            e.minMs += kAttempts * kDataWaitMs;
            return e;
        }
        const auto fault = std::find_if(plan.frameFaults.begin(), plan.frameFaults.end(),
                                        [&](const FrameFault& f) { return f.frame == frame; });
        if (fault == plan.frameFaults.end()) {
            e.copies[frame] = 1;
            continue;
        }
        switch (fault->kind) {
        case FaultKind::Refuse: // each refusal ends its attempt at once
            e.copies[frame] = std::min(fault->copies + 1, kAttempts);
            if (fault->copies >= kAttempts)
                return e;
            break;
        case FaultKind::Drop:    // unanswered
        case FaultKind::WrongNo: // answered for the previous frame: as good as unanswered
            e.copies[frame] = std::min(fault->copies + 1, kAttempts);
            if (fault->copies >= kAttempts) {
                e.minMs += kAttempts * kDataWaitMs;
                return e;
            }
            e.minMs += fault->copies * kDataWaitMs;
            break;
        case FaultKind::Late: {
            // The first copy's answer counts in whichever wait it lands.
            const int attempt = fault->lateMs / kDataWaitMs + 1;
            e.copies[frame] = std::min(attempt, kAttempts);
            if (attempt > kAttempts) {
                e.minMs += kAttempts * kDataWaitMs;
                return e;
            }
            e.minMs += fault->lateMs;
            break;
        }
        default:
            break;
        }
    }
    e.completed = true;
    e.endFrames = 1;
    e.finalFrames = 1;
    return e;
}

std::vector<DownloadPlan> MakePlans(std::mt19937_64& random, int count) {
    std::vector<FaultKind> deck;
    if (count > 0)
        deck.push_back(FaultKind::Silence);
    const int rest = std::max(count - 1, 0);
    for (const KindShare& share : kShares)
        deck.insert(deck.end(), static_cast<std::size_t>(rest * share.per100 / 100), share.kind);
    while (deck.size() < static_cast<std::size_t>(count))
        deck.push_back(FaultKind::None);
    std::shuffle(deck.begin(), deck.end(), random);

    std::vector<DownloadPlan> plans;
    for (const FaultKind kind : deck)
        plans.push_back(makePlan(random, kind));
    return plans;
}

} // namespace posflash::soak
