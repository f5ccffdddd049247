#include "base/runtime_dir.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posflash {

void SetRuntimeDirWhereUnset() {
    if (const char* set = std::getenv("XDG_RUNTIME_DIR"); set && *set)
        return;
    const passwd* user = ::getpwuid(::geteuid());
    if (!user)
        return;
    // QDir::tempPath()'s choice, so that Qt's own fallback and ours are one folder.
    const char* temp = std::getenv("TMPDIR");
    std::string path = temp && *temp ? temp : "/tmp";
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    path += "/runtime-";
    path += user->pw_name;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return;
    struct stat folder {};
    if (::lstat(path.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode) ||
        folder.st_uid != ::geteuid() || (folder.st_mode & 0777) != 0700)
        return;
    ::setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
}

} // namespace posflash
