#include "history/sql_connection.h"

#include <QSqlDatabase>

namespace posflash {

SqlConnection::SqlConnection(const char* prefix, const void* owner)
    : name_(QStringLiteral("%1-%2")
                .arg(QLatin1String(prefix))
                .arg(reinterpret_cast<quintptr>(owner), 0, 16)) {}

SqlConnection::~SqlConnection() {
    if (!QSqlDatabase::contains(name_))
        return;
    // Every handle on the connection must be gone before it is removed.
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

} // namespace posflash
