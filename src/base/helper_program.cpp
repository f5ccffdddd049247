#include "base/helper_program.h"

#include <QFileInfo>

#include <filesystem>

namespace posflash {

QString HelperProgramPath(const char* fromBin, const char* name, const char* buildFolder) {
    // The program's own file, not argv[0], which its caller chooses.
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path bin =
        error ? std::filesystem::path("/usr/bin") : self.parent_path();
    const std::filesystem::path installed = (bin / fromBin).lexically_normal();
    if (!error)
        for (const std::filesystem::path& candidate :
             {installed, bin / name, bin.parent_path() / buildFolder / name}) {
            const QString path = QString::fromStdString(candidate.lexically_normal().string());
            if (QFileInfo(path).isExecutable())
                return path;
        }
    return QString::fromStdString(installed.string());
}

} // namespace posflash
