#pragma once

#include <QString>

namespace posflash {

// The name of an owner's own Qt SQL connection. Names are process-wide, so each is made from
// a prefix and the owner's address, unique among living owners; the connection is closed and
// removed when the name goes.
class SqlConnection {
public:
    SqlConnection(const char* prefix, const void* owner);
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    const QString& name() const { return name_; }
    operator const QString&() const { return name_; }

private:
    QString name_;
};

} // namespace posflash
