#pragma once

#include "line/image_summary.h"
#include "line/line_recipe.h"
#include "line/worker_thread.h"

#include <QObject>

#include <functional>

namespace posflash {

// What a shift starts from: its image, read once, and its recipe.
struct ShiftLoad {
    Result<SharedImage> image = Error{};
    ShiftRecipe recipe;
};

// A shift's image and recipe loaded on a thread of their own: a large or slow image file, or
// the line's records waiting for the server (its connect timeout when the server is away), and
// the window still answers, its downloads run on.
class RecipeFetch : public QObject {
    Q_OBJECT
public:
    using Load = RecipeLoader;
    // load runs on the fetch's thread.
    explicit RecipeFetch(Load load, QObject* parent = nullptr);

    // Returns the answer's ticket: 1, 2, …; answers come on this object's thread in that order.
    quint64 fetch(const LineSettings& settings);

signals:
    void fetched(quint64 ticket, const posflash::ShiftLoad& load);

private:
    Load load_;
    quint64 asked_ = 0;
    WorkerThread thread_{QStringLiteral("recipe fetch"), this};
};

} // namespace posflash
