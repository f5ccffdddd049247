#include "line/label_desk.h"

#include "protocol/address_text.h"

#include <QRegularExpression>

namespace posflash {

std::optional<QString> MacFromLabel(const QString& label) {
    static const QRegularExpression separated(
        QStringLiteral("^([0-9A-Fa-f]{2})([:-]?)([0-9A-Fa-f]{2})\\2([0-9A-Fa-f]{2})\\2([0-9A-Fa-f]"
                       "{2})\\2([0-9A-Fa-f]{2})\\2([0-9A-Fa-f]{2})$"));
    const QRegularExpressionMatch m = separated.match(label.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    QStringList parts;
    for (int i : {1, 3, 4, 5, 6, 7})
        parts << m.captured(i).toUpper();
    const QString mac = parts.join(QLatin1Char('-'));
    if (!ParseMacText(mac))
        return std::nullopt;
    return mac;
}

void LabelDesk::given(const QString& label, int slot) {
    if (!label.isEmpty())
        used_.insert(label, Use{slot, QDateTime::currentDateTime()});
}

std::optional<LabelDesk::Use> LabelDesk::usedBefore(const QString& label) const {
    const auto found = used_.constFind(label.trimmed());
    if (found == used_.constEnd())
        return std::nullopt;
    return *found;
}

} // namespace posflash
