#include "app/stored_number.h"

#include <algorithm>

namespace posflash {

int StoredNumber(const QString& text, int limit, int fallback) {
    const bool digitsOnly = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (!digitsOnly)
        return fallback;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    return ok && value < limit ? static_cast<int>(value) : fallback;
}

} // namespace posflash
