#pragma once

#include <QString>

#include <vector>

namespace posflash {

struct ReportUnit;

// Every unit with its verdict, one row each, a header row first (RFC 4180, CRLF), oldest first.
QString CsvOf(std::vector<ReportUnit> units);

} // namespace posflash
