#pragma once
// A connection of a test's own to an SQLite file, as another process would open it.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <gtest/gtest.h>

#include <functional>

namespace posflash::testing {

// Runs body with a query on the file at path; the connection is closed and forgotten after.
inline void WithSqlite(const QString& path, const std::function<void(QSqlQuery&)>& body) {
    const QString name = QStringLiteral("test-sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
        QSqlQuery q(db);
        body(q);
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace posflash::testing
