#pragma once

#include "base/error.h"
#include "download/download_result.h"

namespace posflash {

// The cause a download ends with when an error of a lower layer stopped it, decided from the
// error's domain and code alone. An error no entry names is a line that went away.
Cause CauseOfError(const Error& error);

} // namespace posflash
