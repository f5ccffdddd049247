#pragma once

#include <QString>

#include <cstddef>
#include <optional>

namespace posflash {

// A value and the word that names it in files, JSON and on the command line. A table of them
// is the one place a vocabulary is spelt, both ways.
template <typename T>
struct NamedValue {
    T value;
    const char* name;
};

template <typename T, std::size_t N>
const char* NameIn(const NamedValue<T> (&table)[N], T value, const char* otherwise = "") {
    for (const NamedValue<T>& entry : table)
        if (entry.value == value)
            return entry.name;
    return otherwise;
}

template <typename T, std::size_t N>
std::optional<T> ValueIn(const NamedValue<T> (&table)[N], const QString& word) {
    for (const NamedValue<T>& entry : table)
        if (word == QLatin1String(entry.name))
            return entry.value;
    return std::nullopt;
}

} // namespace posflash
