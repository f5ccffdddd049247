#include "line/slot_chooser.h"

#include <algorithm>

namespace posflash {

SlotChooser::SlotChooser(std::vector<SlotKind> kinds, bool requireLabel)
    : requireLabel_(requireLabel) {
    for (SlotKind kind : kinds)
        slots_.push_back({kind, Phase::Empty, {}});
}

SlotChooser::Action SlotChooser::start(int slot, const QString& label) {
    Slot& s = slots_[index(slot)];
    s.phase = Phase::Running;
    s.label = label;
    std::erase(waiting_, slot);
    // The operator pointed at that unit only: when it waits again, it waits its turn.
    if (directed_ == slot)
        directed_ = 0;
    return {Action::Kind::Start, slot, label};
}

bool SlotChooser::isRetry(const QString& label) const {
    return !label.isEmpty() && std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) {
        return s.phase == Phase::Failed && s.label == label;
    });
}

SlotChooser::Action SlotChooser::planScan(const QString& label, bool mac) const {
    if (leaving_ || label.isEmpty())
        return {};
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        const Slot& s = slots_[i];
        if (s.phase == Phase::Failed && s.label == label)
            return {Action::Kind::Retry, static_cast<int>(i) + 1, label};
    }
    if (mac) {
        // A MAC names the printer: a new one on a network slot is a swapped unit by itself.
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            const Slot& s = slots_[i];
            if (s.kind == SlotKind::Network && s.phase != Phase::Running &&
                s.phase != Phase::Unusable && s.label != label)
                return {Action::Kind::Start, static_cast<int>(i) + 1, label};
        }
    }
    if (const int slot = target())
        return {Action::Kind::Start, slot, label};
    if (!held_.isEmpty() && held_ != label)
        return {Action::Kind::Refuse, 0, label};
    return {Action::Kind::Hold, 0, label};
}

SlotChooser::Action SlotChooser::scanned(const QString& label, bool mac) {
    const Action action = planScan(label, mac);
    switch (action.kind) {
    case Action::Kind::Retry:
        slots_[index(action.slot)].phase = Phase::Running;
        break;
    case Action::Kind::Start:
        return start(action.slot, label);
    case Action::Kind::Hold:
        held_ = label;
        break;
    default:
        break;
    }
    return action;
}

int SlotChooser::target() const {
    if (std::find(waiting_.begin(), waiting_.end(), directed_) != waiting_.end())
        return directed_;
    return waiting_.empty() ? 0 : waiting_.front();
}

SlotChooser::Direction SlotChooser::direct(int slot) {
    if (!valid(slot))
        return Direction::NoSuchSlot;
    if (std::find(waiting_.begin(), waiting_.end(), slot) == waiting_.end())
        return Direction::NotWaiting;
    directed_ = slot;
    return Direction::Directed;
}

SlotChooser::Action SlotChooser::arrived(int slot) {
    if (leaving_ || !valid(slot))
        return {};
    Slot& s = slots_[index(slot)];
    if (s.phase == Phase::Running || s.phase == Phase::NeedsLabel)
        return {};
    if (!held_.isEmpty()) {
        QString label;
        std::swap(label, held_);
        return start(slot, label);
    }
    if (requireLabel_) {
        s.phase = Phase::NeedsLabel;
        s.label.clear();
        waiting_.push_back(slot);
        return {Action::Kind::Wait, slot, {}};
    }
    return start(slot, {});
}

void SlotChooser::finished(int slot, bool passed) {
    if (valid(slot))
        slots_[index(slot)].phase = passed ? Phase::Passed : Phase::Failed;
}

void SlotChooser::stopped(int slot) {
    if (valid(slot))
        slots_[index(slot)].phase = Phase::Stopped;
}

void SlotChooser::unusable(int slot) {
    if (!valid(slot))
        return;
    slots_[index(slot)].phase = Phase::Unusable;
    std::erase(waiting_, slot);
    if (directed_ == slot)
        directed_ = 0;
}

void SlotChooser::newShift() {
    for (Slot& s : slots_)
        if (s.phase == Phase::Passed || s.phase == Phase::Failed || s.phase == Phase::Stopped)
            s = {s.kind, Phase::Empty, {}};
}

} // namespace posflash
