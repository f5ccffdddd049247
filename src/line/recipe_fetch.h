#pragma once

#include "line/line_recipe.h"
#include "line/worker_thread.h"

#include <QObject>

#include <functional>

namespace posflash {

// A shift's recipe loaded on a thread of its own: from the line's records it waits for the
// server (its connect timeout when the server is away), and the window's downloads run on.
class RecipeFetch : public QObject {
    Q_OBJECT
public:
    using Load = std::function<ShiftRecipe(const LineSettings&)>;
    // load runs on the fetch's thread.
    explicit RecipeFetch(Load load, QObject* parent = nullptr);

    // Returns the answer's ticket: 1, 2, …; answers come on this object's thread in that order.
    quint64 fetch(const LineSettings& settings);

signals:
    void fetched(quint64 ticket, const posflash::ShiftRecipe& recipe);

private:
    Load load_;
    quint64 asked_ = 0;
    WorkerThread thread_{QStringLiteral("recipe fetch"), this};
};

} // namespace posflash
