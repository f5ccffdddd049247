// Another process on a test's history: "lock DB MS" holds the write lock for MS ms, or until
// its standard input closes (saying "locked"); "replay DB" commits the journal a record at a time,
// saying "committed N" and going on at each line of standard input, so a test can kill it half-way.
#include "history/history_store.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>

#include <cstdio>
#include <iostream>
#include <string>

#include <unistd.h>

using namespace posflash;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == "lock") {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE");
        db.setDatabaseName(args[2]);
        QSqlQuery q(db);
        if (!db.open() || !q.exec("BEGIN EXCLUSIVE") || !q.exec("SELECT count(*) FROM downloads"))
            return 1;
        std::printf("locked\n");
        std::fflush(stdout);
        QTimer::singleShot(args[3].toInt(), &app, &QCoreApplication::quit);
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, &app, [&app] {
            char byte;
            if (::read(STDIN_FILENO, &byte, 1) <= 0)
                app.quit();
        });
        app.exec();
        return q.exec("COMMIT") ? 0 : 1;
    }
    if (args.size() >= 3 && args[1] == "replay") {
        HistoryStore::Options options;
        options.replayBatchRows = 1;
        options.replayBatchCommitted = [](int committed) {
            std::printf("committed %d\n", committed);
            std::fflush(stdout);
            std::string line;
            std::getline(std::cin, line);
        };
        HistoryStore store(args[2], options);
        return store.replayJournal() ? 0 : 1;
    }
    std::fprintf(stderr, "usage: history_helper lock DB MS | replay DB\n");
    return 2;
}
