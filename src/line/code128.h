#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace posflash {

// A text as a Code 128 barcode (code set B: the printable ASCII characters), as the widths of
// its bars and spaces in modules, a bar first: start, the text, the check symbol, stop. Quiet
// zones are the drawer's. Nothing for a text with a character outside code set B.
std::optional<std::vector<int>> Code128Widths(const QString& text);

} // namespace posflash
