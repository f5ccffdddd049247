#pragma once

#include "base/error.h"

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace posflash {

// The settings file, read and written with the rules of a Windows profile file: section and
// key names match without regard to case, values come back trimmed and cut to 255 bytes (on
// a character boundary), and a write that would not change the stored value writes nothing.
// Files are replaced atomically, so a crash or a full disk never leaves half a file.
class IniStore {
public:
    explicit IniStore(QString fileName = {});

    // IniFileName: empty until the start-up sets it; then reads give "" and writes do nothing.
    void setFileName(const QString& fileName);
    QString fileName() const;

    // Error codes: the file could not be read or written; a name the file cannot hold.
    static constexpr int kFileError = 1;
    static constexpr int kInvalidName = 2;

    // "" when the key, the section or the file is missing, and, as with the profile
    // functions, when the file cannot be read: a write to it reports why.
    QString GetIniString(const QString& section, const QString& key) const;

    Status WriteIniString(const QString& section, const QString& key, const QString& value);

    // The key=value pairs of the first section of that name, in file order, values trimmed but
    // not cut; empty when the file or section is missing. For files whose keys are not known
    // in advance, such as the COM-number map.
    Result<std::vector<std::pair<QString, QString>>> GetIniSection(const QString& section) const;

    // Replaces the key lines of a section with these entries, where its first key line stood;
    // comments and other lines stay. Appends the section when it is missing.
    Status WriteIniSection(const QString& section,
                           const std::vector<std::pair<QString, QString>>& entries);

private:
    Result<QByteArray> readFile() const;
    Status replaceFile(const QByteArray& text);

    QString fileName_;
};

} // namespace posflash
