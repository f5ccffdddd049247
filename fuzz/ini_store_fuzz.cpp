// Settings files as anyone may have left them: any bytes, then one value and one section
// written back the way the window stores its settings.
// Input: section, key and value texts (FuzzedDataProvider), then the file's bytes.

#include "fuzz_support.h"

#include "base/ini_store.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

using namespace posflash;

namespace {

using Entries = std::vector<std::pair<QString, QString>>;

QString fromProvider(FuzzedDataProvider& in, std::size_t most) {
    return QString::fromUtf8(fuzz::toQByteArray(in.ConsumeRandomLengthString(most)));
}

// A value the store gives back exactly as written: one line, no blanks around it, no NUL,
// short enough not to be cut.
bool readsBackExactly(const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return utf8.size() <= 255 && !utf8.contains('\r') && !utf8.contains('\n') &&
           !utf8.contains('\0') &&
           (utf8.isEmpty() || (!blank(utf8.front()) && !blank(utf8.back())));
}

// Every section the file names, and the ones the window uses.
QStringList sectionsOf(const QByteArray& file, const QString& written) {
    QStringList names{written, "MSG", "SERIAL", "PORT", "ports"};
    for (const QByteArray& line : file.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        const qsizetype close = trimmed.indexOf(']');
        if (trimmed.startsWith('[') && close > 0)
            names << QString::fromUtf8(trimmed.mid(1, close - 1)).trimmed();
    }
    return names;
}

using Snapshot = std::vector<std::pair<QString, Entries>>;

Snapshot snapshot(const IniStore& store, const QStringList& names) {
    Snapshot all;
    for (const QString& name : names) {
        const auto entries = store.GetIniSection(name);
        FUZZ_CHECK(entries.ok()); // a readable file reads whatever its bytes
        all.emplace_back(name, entries.value_or(Entries{}));
    }
    return all;
}

// What was not written to must read the same as before.
void othersUnchanged(const Snapshot& before, const IniStore& store, const QString& section,
                     const QString& key) {
    for (const auto& [name, entries] : before) {
        Entries now = store.GetIniSection(name).value_or(Entries{});
        Entries was = entries;
        if (name.compare(section, Qt::CaseInsensitive) == 0) {
            const auto sameKey = [&](const auto& e) {
                return e.first.compare(key, Qt::CaseInsensitive) == 0;
            };
            std::erase_if(now, sameKey);
            std::erase_if(was, sameKey);
        }
        FUZZ_CHECK(now == was);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const QString section = fromProvider(in, 24);
    const QString key = fromProvider(in, 24);
    const QString value = fromProvider(in, 300);
    const QString key2 = fromProvider(in, 24);
    const QString value2 = fromProvider(in, 40);
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArray file = fuzz::toQByteArray(rest);

    const QString path = fuzz::scratchPath("sys_config.ini");
    fuzz::writeWhole(path, file);
    IniStore store(path);
    const QStringList names = sectionsOf(file, section);
    const Snapshot before = snapshot(store, names);
    for (const auto& [name, entries] : before)
        for (const auto& entry : entries)
            FUZZ_CHECK(store.GetIniString(name, entry.first).toUtf8().size() <= 255);

    if (const Status written = store.WriteIniString(section, key, value); !written) {
        FUZZ_CHECK(!written.error().text.isEmpty());
        FUZZ_CHECK(fuzz::readWhole(path) == file); // a refused write never touches the file
        return 0;
    }
    if (readsBackExactly(value))
        FUZZ_CHECK(store.GetIniString(section, key) == value);
    othersUnchanged(before, store, section, key);

    // Storing the same value again writes nothing.
    const QByteArray written = fuzz::readWhole(path);
    FUZZ_CHECK(store.WriteIniString(section, key, value).ok());
    FUZZ_CHECK(fuzz::readWhole(path) == written);

    // A whole section, as the COM map stores it.
    const Entries entries{{key, value}, {key2, value2}};
    const Snapshot beforeSection = snapshot(store, names);
    if (const Status stored = store.WriteIniSection(section, entries); !stored) {
        FUZZ_CHECK(!stored.error().text.isEmpty());
        FUZZ_CHECK(fuzz::readWhole(path) == written);
        return 0;
    }
    if (readsBackExactly(value) && readsBackExactly(value2))
        FUZZ_CHECK(store.GetIniSection(section).value_or(Entries{}) == entries);
    for (const auto& [name, was] : beforeSection)
        if (name.compare(section, Qt::CaseInsensitive) != 0)
            FUZZ_CHECK(store.GetIniSection(name).value_or(Entries{}) == was);
    return 0;
}
