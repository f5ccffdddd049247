#pragma once

#include <QString>

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

    QString GetIniString(const QString& section, const QString& key) const;

    // Returns false only when a needed write failed (lastError() says why).
    bool WriteIniString(const QString& section, const QString& key, const QString& value);

    QString lastError() const;

private:
    QString fileName_;
    QString lastError_;
};

} // namespace posflash
