#include "base/ini_store.h"

#include "base/settings_file_read.h"

#include <QByteArrayView>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

namespace posflash {
namespace {

Error settingsError(int code, QString text, QString detail = {}) {
    return {code, std::move(text), std::move(detail), ErrorDomain::Settings};
}

// Reads give back at most this many bytes, as the profile functions' 256-byte buffer did.
constexpr qsizetype kMaxValueBytes = 255;
constexpr qint64 kMaxFileBytes = kMaxSettingsFileBytes;

struct Line {
    QByteArrayView text; // without its line break
    QByteArrayView brk;  // "\n", "\r\n", or empty for a last line that has none
};

// Works on bytes, not decoded text, so lines we do not touch are written back byte for byte,
// even when they are not valid UTF-8.
std::vector<Line> splitLines(QByteArrayView all) {
    std::vector<Line> lines;
    qsizetype start = 0;
    while (start < all.size()) {
        const qsizetype lf = all.indexOf('\n', start);
        const qsizetype next = lf < 0 ? all.size() : lf + 1;
        qsizetype end = lf < 0 ? all.size() : lf;
        if (lf >= 0) {
            if (end > start && all[end - 1] == '\r')
                --end; // CRLF
        } else {
            // CRs that end the file belong to no value: a rewrite ends the line with its own
            // break, so a value that kept one of them would change with the next write.
            while (end > start && all[end - 1] == '\r')
                --end;
        }
        lines.push_back({all.sliced(start, end - start),
                         lf < 0 ? QByteArrayView() : all.sliced(end, next - end)});
        start = next;
    }
    return lines;
}

// New lines follow the file's own convention, so a file written on Windows stays CRLF.
QByteArray lineBreakOf(QByteArrayView all) {
    const qsizetype lf = all.indexOf('\n');
    return lf > 0 && all[lf - 1] == '\r' ? QByteArray("\r\n") : QByteArray("\n");
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

QByteArrayView trimBlanks(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

// "[name]"; text after the closing bracket is ignored.
std::optional<QByteArrayView> sectionName(QByteArrayView line) {
    line = trimBlanks(line);
    const qsizetype close = line.indexOf(']');
    if (!line.startsWith('[') || close < 0)
        return std::nullopt;
    return trimBlanks(line.sliced(1, close - 1));
}

struct KeyLine {
    QByteArrayView key;
    QByteArrayView value;
    qsizetype afterEquals = 0; // just past the "="
    qsizetype valueStart = 0;  // where the value begins in the line
};

std::optional<KeyLine> keyLine(QByteArrayView line) {
    const QByteArrayView trimmed = trimBlanks(line);
    if (trimmed.isEmpty() || trimmed.front() == ';' || trimmed.front() == '#' ||
        trimmed.front() == '[')
        return std::nullopt;
    const qsizetype eq = line.indexOf('=');
    if (eq < 0 || trimBlanks(line.first(eq)).isEmpty())
        return std::nullopt;
    qsizetype valueStart = eq + 1;
    while (valueStart < line.size() && isBlank(line[valueStart]))
        ++valueStart;
    return KeyLine{trimBlanks(line.first(eq)), trimBlanks(line.sliced(valueStart)), eq + 1,
                   valueStart};
}

bool sameName(QByteArrayView inFile, const QString& wanted) {
    return QString::fromUtf8(inFile).compare(wanted, Qt::CaseInsensitive) == 0;
}

// The first section of that name runs from its header to the next header.
struct Span {
    qsizetype header = -1;
    qsizetype end = -1;
    bool found() const { return header >= 0; }
};

Span findSection(const std::vector<Line>& lines, const QString& section) {
    Span span;
    const auto count = static_cast<qsizetype>(lines.size());
    for (qsizetype i = 0; i < count; ++i) {
        const auto name = sectionName(lines[i].text);
        if (!name)
            continue;
        if (span.found()) {
            span.end = i;
            return span;
        }
        if (sameName(*name, section))
            span.header = i;
    }
    span.end = count;
    return span;
}

// Cuts to at most kMaxValueBytes without splitting a UTF-8 sequence; stray continuation bytes
// (a file that is not UTF-8) are cut like any other byte.
QByteArrayView cutToLimit(QByteArrayView value) {
    if (value.size() <= kMaxValueBytes)
        return value;
    const auto isContinuation = [&](qsizetype i) { return (uchar(value[i]) & 0xC0) == 0x80; };
    qsizetype lead = kMaxValueBytes;
    while (lead > kMaxValueBytes - 3 && isContinuation(lead))
        --lead;
    const bool splitsSequence = lead < kMaxValueBytes && (uchar(value[lead]) & 0xC0) == 0xC0;
    return value.first(splitsSequence ? lead : kMaxValueBytes);
}

QString storedValue(QByteArrayView raw) {
    // The profile functions returned a C string: nothing after a NUL reaches the caller.
    const qsizetype nul = raw.indexOf('\0');
    if (nul >= 0)
        raw = raw.first(nul);
    return QString::fromUtf8(trimBlanks(cutToLimit(trimBlanks(raw))));
}

// A line break in a value would end its line early and let the rest pose as a key or a
// section, so breaks are stored as spaces.
QByteArray flattenedValue(const QString& value) {
    QString flat = value;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return flat.toUtf8();
}

bool hasLineBreak(const QString& s) {
    return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n'));
}

bool hasOuterBlanks(const QString& s) {
    return isBlank(s.front().toLatin1()) || isBlank(s.back().toLatin1());
}

// Names that could not be found again after writing them, or that would break the file.
QString sectionProblem(const QString& section) {
    if (section.isEmpty() || hasLineBreak(section) || hasOuterBlanks(section) ||
        section.contains(QLatin1Char(']')))
        return QStringLiteral("Invalid section name \"%1\"").arg(section);
    return {};
}

QString keyProblem(const QString& key) {
    if (key.isEmpty() || hasLineBreak(key) || hasOuterBlanks(key) ||
        key.contains(QLatin1Char('=')) || QStringLiteral(";#[").contains(key.front()))
        return QStringLiteral("Invalid key name \"%1\"").arg(key);
    return {};
}

using Entries = std::vector<std::pair<QString, QString>>;

Entries sectionEntries(const std::vector<Line>& lines, const QString& section) {
    Entries entries;
    const Span span = findSection(lines, section);
    for (qsizetype i = span.header + 1; span.found() && i < span.end; ++i) {
        if (const auto line = keyLine(lines[i].text))
            entries.emplace_back(QString::fromUtf8(line->key), QString::fromUtf8(line->value));
    }
    return entries;
}

QString valueOf(const Entries& entries, const QString& key) {
    for (const auto& [name, value] : entries) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return storedValue(value.toUtf8());
    }
    return {};
}

} // namespace

IniStore::IniStore(QString fileName) : fileName_(std::move(fileName)) {}

void IniStore::setFileName(const QString& fileName) {
    fileName_ = fileName;
}

QString IniStore::fileName() const {
    return fileName_;
}

Result<QByteArray> IniStore::readFile() const {
    SettingsFileContents file = ReadSettingsFile(fileName_, kMaxFileBytes);
    switch (file.status) {
    case SettingsFileContents::Reading::Read:
        return std::move(file.bytes);
    case SettingsFileContents::Reading::Missing:
        return QByteArray(); // a missing file reads as an empty one
    case SettingsFileContents::Reading::Refused:
        break;
    }
    return settingsError(kFileError, file.error.text, file.error.detail);
}

Status IniStore::replaceFile(const QByteArray& text) {
    if (text.size() > kMaxFileBytes)
        return settingsError(
            kFileError,
            QStringLiteral("%1 would grow beyond %2 bytes").arg(fileName_).arg(kMaxFileBytes));
    const QString folder = QFileInfo(fileName_).absolutePath();
    if (!QDir().mkpath(folder))
        return settingsError(kFileError, QStringLiteral("Cannot create the folder %1").arg(folder));
    // Written beside the old file and renamed over it: a crash or a full disk keeps the old one.
    QSaveFile file(fileName_);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return settingsError(
            kFileError, QStringLiteral("Cannot write %1: %2").arg(fileName_, file.errorString()),
            file.errorString());
    return {};
}

QString IniStore::GetIniString(const QString& section, const QString& key) const {
    const Result<Entries> entries = GetIniSection(section);
    return entries ? valueOf(*entries, key) : QString();
}

Status IniStore::WriteIniString(const QString& section, const QString& key, const QString& value) {
    if (fileName_.isEmpty())
        return {};
    if (const QString problem = sectionProblem(section) + keyProblem(key); !problem.isEmpty())
        return settingsError(kInvalidName, problem);
    const Result<QByteArray> old = readFile();
    if (!old)
        return old.error(); // rewriting a file that could not be read would lose its contents
    const std::vector<Line> lines = splitLines(*old);
    const QByteArray newValue = flattenedValue(value);
    // Only an exact match skips the write, so a value with blanks around it (read back
    // trimmed) is written again each time.
    if (QString::fromUtf8(newValue) == valueOf(sectionEntries(lines, section), key))
        return {};

    const QByteArray eol = lineBreakOf(*old);
    const Span span = findSection(lines, section);

    qsizetype keyAt = -1;
    qsizetype insertAfter = span.header; // the section's last key line, or its header
    for (qsizetype i = span.header + 1; span.found() && i < span.end; ++i) {
        const auto line = keyLine(lines[i].text);
        if (!line)
            continue;
        insertAfter = i;
        if (keyAt < 0 && sameName(line->key, key))
            keyAt = i;
    }

    const QByteArray newLine = key.toUtf8() + '=' + newValue + eol;
    QByteArray out;
    for (qsizetype i = 0; i < static_cast<qsizetype>(lines.size()); ++i) {
        const Line& line = lines[i];
        if (i == keyAt) { // keep the key as the file spells it
            // A value with blanks of its own replaces the file's blanks after "=" too, or
            // they would pile up with each rewrite.
            const KeyLine found = *keyLine(line.text);
            const bool ownBlanks = !newValue.isEmpty() && isBlank(newValue.front());
            out += line.text.first(ownBlanks ? found.afterEquals : found.valueStart);
            out += newValue;
        } else {
            out += line.text;
        }
        out += line.brk.isEmpty() ? QByteArrayView(eol) : line.brk;
        if (keyAt < 0 && i == insertAfter)
            out += newLine;
    }
    if (!span.found())
        out += '[' + section.toUtf8() + ']' + eol + newLine;
    return replaceFile(out);
}

Result<Entries> IniStore::GetIniSection(const QString& section) const {
    if (fileName_.isEmpty())
        return Entries{};
    const Result<QByteArray> text = readFile();
    if (!text)
        return text.error();
    return sectionEntries(splitLines(*text), section);
}

Status IniStore::WriteIniSection(const QString& section, const Entries& entries) {
    if (fileName_.isEmpty())
        return {};
    QString problem = sectionProblem(section);
    for (const auto& entry : entries)
        problem += keyProblem(entry.first);
    if (!problem.isEmpty())
        return settingsError(kInvalidName, problem);

    const Result<QByteArray> old = readFile();
    if (!old)
        return old.error();
    const std::vector<Line> lines = splitLines(*old);
    const QByteArray eol = lineBreakOf(*old);
    const Span span = findSection(lines, section);

    QByteArray block;
    for (const auto& [key, value] : entries)
        block += key.toUtf8() + '=' + flattenedValue(value) + eol;

    // The entries go where the section's first key line stood, or right after its header.
    qsizetype firstKey = -1;
    for (qsizetype i = span.header + 1; span.found() && i < span.end && firstKey < 0; ++i) {
        if (keyLine(lines[i].text))
            firstKey = i;
    }
    QByteArray out;
    for (qsizetype i = 0; i < static_cast<qsizetype>(lines.size()); ++i) {
        const Line& line = lines[i];
        const bool inSection = span.found() && i > span.header && i < span.end;
        if (i == firstKey)
            out += block;
        if (inSection && keyLine(line.text))
            continue;
        out += line.text;
        out += line.brk.isEmpty() ? QByteArrayView(eol) : line.brk;
        if (i == span.header && firstKey < 0)
            out += block;
    }
    if (!span.found())
        out += '[' + section.toUtf8() + ']' + eol + block;
    return replaceFile(out);
}

} // namespace posflash
