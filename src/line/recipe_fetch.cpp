#include "line/recipe_fetch.h"

namespace posflash {

RecipeFetch::RecipeFetch(Load load, QObject* parent) : QObject(parent), load_(std::move(load)) {}

quint64 RecipeFetch::fetch(const LineSettings& settings) {
    const quint64 ticket = ++asked_;
    thread_.run<ShiftLoad>(
        [load = load_, settings] {
            ShiftLoad loaded;
            loaded.image = LoadShiftImage(settings.imagePath, settings.font);
            if (load)
                loaded.recipe = load(settings, loaded.image);
            return loaded;
        },
        [this, ticket](const ShiftLoad& loaded) { emit fetched(ticket, loaded); });
    return ticket;
}

} // namespace posflash
