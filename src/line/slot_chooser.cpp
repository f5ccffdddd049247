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
    return {Action::Kind::Start, slot, label};
}

bool SlotChooser::isRetry(const QString& label) const {
    return !label.isEmpty() && std::any_of(slots_.begin(), slots_.end(), [&](const Slot& s) {
        return s.phase == Phase::Failed && s.label == label;
    });
}

SlotChooser::Action SlotChooser::scanned(const QString& label, bool mac) {
    if (leaving_ || label.isEmpty())
        return {};
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        Slot& s = slots_[i];
        if (s.phase == Phase::Failed && s.label == label) {
            s.phase = Phase::Running;
            return {Action::Kind::Retry, static_cast<int>(i) + 1, label};
        }
    }
    if (mac) {
        // A MAC names the printer: a new one on a network slot is a swapped unit by itself.
        for (std::size_t i = 0; i < slots_.size(); ++i) {
            const Slot& s = slots_[i];
            if (s.kind == SlotKind::Network && s.phase != Phase::Running &&
                s.phase != Phase::Unusable && s.label != label)
                return start(static_cast<int>(i) + 1, label);
        }
    }
    if (!waiting_.empty())
        return start(waiting_.front(), label);
    held_ = label;
    return {Action::Kind::Hold, 0, label};
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
}

void SlotChooser::newShift() {
    held_.clear();
    for (Slot& s : slots_)
        if (s.phase == Phase::Passed || s.phase == Phase::Failed || s.phase == Phase::Stopped)
            s = {s.kind, Phase::Empty, {}};
}

} // namespace posflash
