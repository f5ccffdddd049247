#include "base/secure_start.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <sys/auxv.h>
#include <unistd.h>

namespace posflash {

namespace {

bool namesPluginsOrPlatform(std::string_view name) {
    return (name.starts_with("QT_") || name.starts_with("QML")) && name != "QT_QPA_PLATFORM";
}

// Qt reads "-platformpluginpath DIR" and "--platformpluginpath DIR", and the "=DIR" forms.
bool isPluginPathOption(std::string_view argument) {
    if (argument.starts_with("--"))
        argument.remove_prefix(1);
    return argument == "-platformpluginpath" || argument.starts_with("-platformpluginpath=");
}

} // namespace

int GuardSecureExecution(const char* program, int argc, char** argv) {
    return GuardSecureExecution(program, argc, argv, ::getauxval(AT_SECURE) != 0);
}

int GuardSecureExecution(const char* program, int argc, char** argv, bool secure) {
    if (!secure)
        return 0;
    std::fprintf(stderr,
                 "%s: running with raised rights (secure-execution mode): Qt's plugin and "
                 "platform variables are ignored\n",
                 program);
    for (int i = 1; i < argc; ++i)
        if (isPluginPathOption(argv[i])) {
            std::fprintf(stderr,
                         "%s: refused %s: with raised rights plugins come from Qt's "
                         "own folder only\n",
                         program, argv[i]);
            return 2;
        }
    // Collected first: unsetenv changes environ under the loop.
    std::vector<std::string> names;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        const std::string_view name = variable.substr(0, variable.find('='));
        if (namesPluginsOrPlatform(name))
            names.emplace_back(name);
    }
    for (const std::string& name : names)
        ::unsetenv(name.c_str());
    return 0;
}

} // namespace posflash
