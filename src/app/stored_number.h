#pragma once

#include <QString>

namespace posflash {

// A list index or count read back from the settings file: plain decimal digits within
// [0, limit); anything else (empty, a sign, letters, out of range) gives the fallback.
int StoredNumber(const QString& text, int limit, int fallback);

} // namespace posflash
