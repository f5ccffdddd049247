#pragma once

namespace posflash {

// Where XDG_RUNTIME_DIR is unset (root through su, a cron job), names the folder Qt would fall
// back to, <temp>/runtime-<user>, made private to this user, before any Q*Application starts:
// Qt then finds it without its warning on standard error. A folder by that name that is not a
// private one of this user is left alone (Qt then says why). Called first in main().
void SetRuntimeDirWhereUnset();

} // namespace posflash
