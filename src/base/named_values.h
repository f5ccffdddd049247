#pragma once

#include <QString>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>
#include <utility>

namespace posflash {

// A value and the word that names it in files, JSON and on the command line. A table of them
// is the one place a vocabulary is spelt, both ways.
template <typename T>
struct NamedValue {
    T value;
    const char* name;
};

// A value and our words for it: why it happened and what to do about it.
template <typename T>
struct ExplainedValue {
    T value;
    const char* why;
    const char* remedy;
};

// The entry of a table of values (NamedValue, ExplainedValue) that stands for value, or null.
template <typename Entry, std::size_t N, typename T>
constexpr const Entry* EntryFor(const Entry (&table)[N], T value) {
    const Entry* entry = std::ranges::find(table, value, &Entry::value);
    return entry == std::end(table) ? nullptr : entry;
}

template <typename T, std::size_t N>
const char* NameIn(const NamedValue<T> (&table)[N], T value, const char* otherwise = "") {
    const NamedValue<T>* entry = EntryFor(table, value);
    return entry ? entry->name : otherwise;
}

template <typename T, std::size_t N>
std::optional<T> ValueIn(const NamedValue<T> (&table)[N], const QString& word) {
    for (const NamedValue<T>& entry : table)
        if (word == QLatin1String(entry.name))
            return entry.value;
    return std::nullopt;
}

// A table of pairs read either way: what stands beside key, or otherwise.
template <typename A, typename B, std::size_t N>
constexpr B SecondOf(const std::pair<A, B> (&table)[N], A key, B otherwise) {
    const auto entry = std::ranges::find(table, key, &std::pair<A, B>::first);
    return entry == std::end(table) ? otherwise : entry->second;
}

template <typename A, typename B, std::size_t N>
constexpr A FirstOf(const std::pair<A, B> (&table)[N], B key, A otherwise) {
    const auto entry = std::ranges::find(table, key, &std::pair<A, B>::second);
    return entry == std::end(table) ? otherwise : entry->first;
}

} // namespace posflash
