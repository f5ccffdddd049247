#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

namespace posflash {

// The longest label the window takes: a longer scan is a scanner gone wrong, not a label.
inline constexpr int kMaxLabelLength = 64;

// A MAC as a network printer's label carries it ("00:11:22:AA:BB:CC", "00-11-22-aa-bb-cc" or
// twelve hex digits), in the form the engine takes ("00-11-22-AA-BB-CC"); nothing otherwise.
std::optional<QString> MacFromLabel(const QString& label);

// The labels given to units in the window's session, so that a second use is noticed.
class LabelDesk {
public:
    // label went to a unit on slot (from 1); an empty one is not remembered.
    void given(const QString& label, int slot);

    // Where and when a label was given before; nothing for a new one.
    struct Use {
        int slot = 0;
        QDateTime at;
    };
    std::optional<Use> usedBefore(const QString& label) const;

private:
    QHash<QString, Use> used_;
};

} // namespace posflash
