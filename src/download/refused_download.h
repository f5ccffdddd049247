#pragma once

#include "download/download_job.h"
#include "download/download_result.h"

namespace posflash {

// A download refused before anything was opened (a recipe or an image that refuses it), as the
// engine's own refusals read: the job's printer and image as named, started now.
DownloadResult RefusedDownload(const DownloadJob& job, Cause cause);

} // namespace posflash
