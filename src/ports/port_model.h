#pragma once

#include "base/error.h"
#include "ports/port_state.h"

#include <QString>
#include <QStringList>

namespace posflash {

class IniStore;

// The window's port choice: the port kind, the COM and baud lists and their selections, each
// stored in the settings file as it changes. Each selection returns the status line it leaves.
class PortModel {
public:
    static constexpr int kComCount = 255;

    explicit PortModel(IniStore& settings);

    static const QStringList& BaudList();
    static QString PortKindCaption(int index); // optPortSelect captions: "ETHERNET", "USB"

    // The port kind button index (0 network, 1 COM port); ipText describes the network choice.
    // Nothing for an index that is neither.
    std::optional<QString> selectPortKind(int index, const QString& ipText);
    // The COM list index (COM1 is 0); nothing for an index outside the list.
    std::optional<QString> selectComIndex(int index);
    void setBaudIndex(int index); // no action of its own

    PortKindValue portKind() const { return portKind_; }
    int comIndex() const { return comIndex_; }
    int comNumber() const { return comIndex_ + 1; }
    int baudIndex() const { return baudIndex_; }
    QString comText() const;
    QString baudText() const;
    // How the last selection's settings write went: the window shows a failure after the
    // selection's own status text.
    const Status& lastWrite() const { return lastWrite_; }

private:
    IniStore& settings_;
    Status lastWrite_;
    PortKindValue portKind_ = PortKindValue::None;
    int comIndex_ = 0;
    int baudIndex_ = -1;
};

} // namespace posflash
