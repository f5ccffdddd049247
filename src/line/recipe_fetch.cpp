#include "line/recipe_fetch.h"

namespace posflash {

RecipeFetch::RecipeFetch(Load load, QObject* parent) : QObject(parent), load_(std::move(load)) {}

quint64 RecipeFetch::fetch(const LineSettings& settings) {
    const quint64 ticket = ++asked_;
    thread_.run<ShiftRecipe>(
        [load = load_, settings] { return load ? load(settings) : ShiftRecipe{}; },
        [this, ticket](const ShiftRecipe& recipe) { emit fetched(ticket, recipe); });
    return ticket;
}

} // namespace posflash
