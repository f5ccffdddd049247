#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

namespace posflash {

// A MAC as a network printer's label carries it ("00:11:22:AA:BB:CC", "00-11-22-aa-bb-cc" or
// twelve hex digits), in the form the engine takes ("00-11-22-AA-BB-CC"); nothing otherwise.
std::optional<QString> MacFromLabel(const QString& label);

// The labels of the window's session: the last one scanned waits for the next unit to start;
// each one used is remembered so that a second use is noticed.
class LabelDesk {
public:
    // A scanned or typed label; the one before, if no unit took it, is replaced.
    void scan(const QString& label) { pending_ = label.trimmed(); }
    const QString& pending() const { return pending_; }
    bool hasPending() const { return !pending_.isEmpty(); }
    // The pending label, now given to a unit on slot (from 1).
    QString take(int slot);
    void discard() { pending_.clear(); }

    // Where and when a label was given before; nothing for a new one.
    struct Use {
        int slot = 0;
        QDateTime at;
    };
    std::optional<Use> usedBefore(const QString& label) const;

private:
    QString pending_;
    QHash<QString, Use> used_;
};

} // namespace posflash
