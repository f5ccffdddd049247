#include "ports/com_port_map.h"

#include "base/ini_store.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>
#include <vector>

namespace posflash {
namespace {

Error portsError(int code, QString text, QString detail = {}) {
    return {code, std::move(text), std::move(detail), ErrorDomain::Ports};
}

constexpr QLatin1String kSection("ports");

struct DefaultPort {
    int number;
    const char* node;
};
// The two on-board serial ports, which a PC's firmware and users know as COM1 and COM2.
constexpr DefaultPort kDefaults[] = {{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}};

bool mapsNode(const std::map<int, QString>& entries, const QString& node) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const auto& entry) { return entry.second == node; });
}

// A default applies only while the file leaves both its number and its node alone.
void addDefaults(std::map<int, QString>& entries) {
    for (const DefaultPort& port : kDefaults) {
        const QString node = QString::fromLatin1(port.node);
        if (!entries.count(port.number) && !mapsNode(entries, node))
            entries.emplace(port.number, node);
    }
}

// Anything the file could not give back unchanged is refused.
bool isUsablePath(const QString& path) {
    return !path.isEmpty() && !path.contains(QLatin1Char('\r')) &&
           !path.contains(QLatin1Char('\n')) && !path.contains(QChar(0)) && path.trimmed() == path;
}

QString canonicalOf(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

// A symlink (a /dev/serial/by-id name, a test's link to a pty) names the same device as its
// target.
bool sameNode(const QString& mapped, const QString& path, const QString& pathCanonical) {
    return mapped == path || (!pathCanonical.isEmpty() && canonicalOf(mapped) == pathCanonical);
}

Error notADevicePath(const QString& path) {
    return portsError(ComPortMap::kInvalidArgument,
                      QStringLiteral("\"%1\" is not a device path").arg(path));
}

} // namespace

ComPortMap::ComPortMap(QString fileName) : fileName_(std::move(fileName)) {}

QString ComPortMap::fileName() const {
    return fileName_;
}

void ComPortMap::reloadIfChanged() const {
    if (fileName_.isEmpty()) {
        if (!loaded_)
            addDefaults(entries_);
        loaded_ = true;
        return;
    }
    // One stat per call is cheap, and picks up a hand edit without a restart. Size counts too:
    // an edit within the clock's resolution still changes it almost always.
    const QFileInfo info(fileName_);
    const bool exists = info.exists();
    const QDateTime stamp = exists ? info.lastModified() : QDateTime();
    const qint64 size = exists ? info.size() : -1;
    if (loaded_ && stamp == loadedStamp_ && size == loadedSize_)
        return;

    const auto pairs = IniStore(fileName_).GetIniSection(kSection);
    if (!pairs) {
        // Keep the numbers we knew; the next call tries again.
        addDefaults(entries_);
        loaded_ = false;
        return;
    }
    std::map<int, QString> fresh;
    for (const auto& [key, path] : *pairs) {
        const auto number = ParseComName(key);
        // A path the file could not hold unchanged (a stray CR in it) would change with our
        // next write, so it counts as malformed.
        if (number && isUsablePath(path))
            fresh.emplace(*number, path); // the first line of a number wins
    }
    addDefaults(fresh);
    entries_ = std::move(fresh);
    loadedStamp_ = stamp;
    loadedSize_ = size;
    loaded_ = true;
}

Status ComPortMap::save() {
    if (fileName_.isEmpty())
        return {};
    std::vector<std::pair<QString, QString>> lines;
    for (const auto& [number, path] : entries_)
        lines.emplace_back(QStringLiteral("COM%1").arg(number), path);
    if (Status written = IniStore(fileName_).WriteIniSection(kSection, lines); !written)
        return written;
    // Our own write is no hand edit; remember its stamp so the next call does not re-read it.
    const QFileInfo info(fileName_);
    loadedStamp_ = info.lastModified();
    loadedSize_ = info.size();
    return {};
}

QString ComPortMap::devicePath(int comNumber) const {
    reloadIfChanged();
    const auto found = entries_.find(comNumber);
    return found == entries_.end() ? QString() : found->second;
}

int ComPortMap::comNumberOf(const QString& devicePath) const {
    reloadIfChanged();
    if (devicePath.isEmpty())
        return 0;
    for (const auto& [number, path] : entries_) {
        if (path == devicePath)
            return number;
    }
    const QString canonical = canonicalOf(devicePath);
    for (const auto& [number, path] : entries_) {
        if (sameNode(path, devicePath, canonical))
            return number;
    }
    return 0;
}

Result<int> ComPortMap::assign(const QString& devicePath) {
    if (!isUsablePath(devicePath))
        return notADevicePath(devicePath);
    if (const int known = comNumberOf(devicePath))
        return known;
    for (int number = kFirstAssigned; number <= kLastNumber; ++number) {
        if (entries_.count(number))
            continue;
        entries_.emplace(number, devicePath);
        if (Status saved = save(); !saved) {
            entries_.erase(number);
            return saved.error();
        }
        return number;
    }
    return portsError(kMapFull, QStringLiteral("Every number from COM%1 to COM%2 is taken")
                                    .arg(kFirstAssigned)
                                    .arg(kLastNumber));
}

Status ComPortMap::setMapping(int comNumber, const QString& devicePath) {
    if (comNumber < kFirstNumber || comNumber > kLastNumber)
        return portsError(kInvalidArgument, QStringLiteral("COM%1 is outside COM%2..COM%3")
                                                .arg(comNumber)
                                                .arg(kFirstNumber)
                                                .arg(kLastNumber));
    if (!isUsablePath(devicePath))
        return notADevicePath(devicePath);
    reloadIfChanged();
    const std::map<int, QString> before = entries_;
    const QString canonical = canonicalOf(devicePath);
    std::erase_if(entries_, [&](const auto& entry) {
        return entry.first != comNumber && sameNode(entry.second, devicePath, canonical);
    });
    entries_[comNumber] = devicePath;
    if (entries_ == before)
        return {};
    Status saved = save();
    if (!saved)
        entries_ = before;
    return saved;
}

std::optional<int> ParseComName(QStringView text) {
    const QStringView prefix = u"COM";
    // Three digits at most, so the number cannot overflow before the range check.
    if (text.size() <= prefix.size() || text.size() > prefix.size() + 3 ||
        !text.startsWith(prefix, Qt::CaseInsensitive))
        return std::nullopt;
    const QStringView digits = text.sliced(prefix.size());
    const auto isDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    if (digits.front() == u'0' || !std::all_of(digits.begin(), digits.end(), isDigit))
        return std::nullopt;
    const int number = digits.toInt();
    if (number < ComPortMap::kFirstNumber || number > ComPortMap::kLastNumber)
        return std::nullopt;
    return number;
}

std::map<int, QString> ComPortMap::entries() const {
    reloadIfChanged();
    return entries_;
}

} // namespace posflash
