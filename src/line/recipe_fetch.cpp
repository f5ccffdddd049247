#include "line/recipe_fetch.h"

namespace posflash {

RecipeFetch::RecipeFetch(Load load, QObject* parent)
    : QObject(parent), load_(std::move(load)), worker_(new QObject) {
    thread_.setObjectName(QStringLiteral("recipe fetch"));
    worker_->moveToThread(&thread_);
    thread_.start();
}

RecipeFetch::~RecipeFetch() {
    thread_.quit();
    thread_.wait();
    delete worker_;
}

quint64 RecipeFetch::fetch(const LineSettings& settings) {
    const quint64 ticket = ++asked_;
    QMetaObject::invokeMethod(
        worker_,
        [this, ticket, settings] {
            ShiftRecipe recipe = load_ ? load_(settings) : ShiftRecipe{};
            // Queued to this object: the destructor waits for this thread first, and an
            // answer still queued then goes with the object.
            QMetaObject::invokeMethod(
                this, [this, ticket, recipe] { emit fetched(ticket, recipe); },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return ticket;
}

} // namespace posflash
