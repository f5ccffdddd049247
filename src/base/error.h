#pragma once

#include <QString>

#include <optional>

namespace posflash {

// What went wrong, as the layers below the window report it: a number its source defines
// (a serial error number, an errno value, one of a module's own codes) and the text a user
// may be shown. Each source maps its system and Qt errors into this in one place; the layers
// above add context or decide what, if anything, the panel shows.
struct Error {
    int code = 0;
    QString text;
};

// Nothing on success, else the error.
using Failure = std::optional<Error>;

// An errno value with the system's text for it, after a short context ("Cannot read x").
Error SystemError(int errnoValue, const QString& context);

} // namespace posflash
