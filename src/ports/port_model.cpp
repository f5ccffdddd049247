#include "ports/port_model.h"

#include "base/ini_store.h"

namespace posflash {

PortModel::PortModel(IniStore& settings) : settings_(settings) {}

const QStringList& PortModel::BaudList() {
    // The last entry really is 912600; the line speed never follows this list anyway.
    static const QStringList list{"1200",  "2400",   "4800",   "9600",   "19200", "38400",
                                  "57600", "115200", "230400", "460800", "912600"};
    return list;
}

QString PortModel::PortKindCaption(int index) {
    return index == 0 ? QStringLiteral("ETHERNET") : QStringLiteral("USB");
}

QString PortModel::comText() const {
    return QStringLiteral("COM%1").arg(comIndex_ + 1);
}

QString PortModel::baudText() const {
    return baudIndex_ >= 0 && baudIndex_ < BaudList().size() ? BaudList()[baudIndex_].trimmed()
                                                             : QString();
}

std::optional<QString> PortModel::selectPortKind(int index, const QString& ipText) {
    if (index != 0 && index != 1)
        return std::nullopt;
    portKind_ = index == 0 ? PortKindValue::Network : PortKindValue::Com;
    const QString description = index == 0 ? ipText : comText() + "," + baudText() + ",n,8,1";
    lastWrite_ = settings_.WriteIniString("PORT", "ComboPort", QString::number(index));
    return PortKindCaption(index) + ":" + description;
}

std::optional<QString> PortModel::selectComIndex(int index) {
    if (index < 0 || index >= kComCount)
        return std::nullopt;
    comIndex_ = index;
    lastWrite_ = settings_.WriteIniString("SERIAL", "COM", QString::number(comIndex_));
    return comText() + ":" + baudText() + ",n,8,1";
}

void PortModel::setBaudIndex(int index) {
    if (index >= -1 && index < BaudList().size())
        baudIndex_ = index;
}

} // namespace posflash
