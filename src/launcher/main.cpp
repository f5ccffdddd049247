// posflash: reads the command line and starts either window, the specified one or the
// production window (--line); neither knows the other.
#include "app/window_main.h"
#include "base/process_signals.h"
#include "base/runtime_dir.h"
#include "base/secure_start.h"
#include "line/line_main.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace posflash;

namespace {

// Both windows' options on one command line; --help is answered from it with or without a
// display.
struct CommandLine {
    QCommandLineParser parser;
    WindowOptions window;
    LineCommandLine line;

    CommandLine() {
        parser.setApplicationDescription(
            QStringLiteral("Loads firmware into a receipt printer's boot loader."));
        parser.addHelpOption();
        parser.addVersionOption();
        window.addTo(parser);
        line.addTo(parser);
    }
};

bool asksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 ||
            std::strcmp(argv[i], "--help-all") == 0 || std::strcmp(argv[i], "-?") == 0)
            return true;
    return false;
}

// The words of the command line that are the window's own: the options Qt's application takes
// itself (-platform NAME, -style=NAME, --reverse, ...) are left out, as QApplication removes
// them later.
QStringList ownArguments(int argc, char** argv) {
    static const std::set<std::string_view> withValue{"-platform",
                                                      "-platformpluginpath",
                                                      "-platformtheme",
                                                      "-plugin",
                                                      "-qwindowgeometry",
                                                      "-geometry",
                                                      "-qwindowtitle",
                                                      "-title",
                                                      "-qwindowicon",
                                                      "-icon",
                                                      "-session",
                                                      "-display",
                                                      "-name",
                                                      "-style",
                                                      "-stylesheet",
                                                      "-qmljsdebugger",
                                                      "-visual"};
    static const std::set<std::string_view> switches{"-reverse", "-widgetcount", "-testability",
                                                     "-nograb",  "-dograb",      "-sync"};
    QStringList words{QString::fromLocal8Bit(argv[0])};
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        std::string_view name = word.starts_with("--") ? word.substr(1) : word;
        const bool joined = name.find('=') != std::string_view::npos;
        name = name.substr(0, name.find('='));
        if (withValue.contains(name)) {
            i += joined ? 0 : 1;
            continue;
        }
        if (!switches.contains(name))
            words << QString::fromLocal8Bit(argv[i]);
    }
    return words;
}

// posflash --demo: the installed demo script, given the installed programs and sample image,
// all found from where this program is; the other arguments go on to the window it starts.
// Returns only when it cannot run the script.
int runDemo(int argc, char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path bin = self.parent_path();
    // Run from the build tree, the demo is the source tree's script with the build's programs.
    std::error_code notBuilt;
    const bool built = std::filesystem::equivalent(self, POSFLASH_BUILT_PROGRAM, notBuilt);
    const std::string script =
        built ? POSFLASH_SOURCE_DEMO_SCRIPT : (bin / POSFLASH_DEMO_SCRIPT).lexically_normal();
    const std::string sim = built ? POSFLASH_BUILT_SIM : bin / "posflash-printer-sim";
    const std::string firmware =
        built ? POSFLASH_BUILT_DEMO_FIRMWARE : (bin / POSFLASH_DEMO_FIRMWARE).lexically_normal();
    std::vector<const char*> args{script.c_str(), "--sim",      sim.c_str(),      "--app",
                                  self.c_str(),   "--firmware", firmware.c_str(), "--"};
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--demo") != 0)
            args.push_back(argv[i]);
    args.push_back(nullptr);
    if (!error)
        ::execv(script.c_str(), const_cast<char* const*>(args.data()));
    std::fprintf(stderr,
                 "posflash: cannot start the demo %s: %s\n"
                 "From the source tree, start it with ./posflash.sh --demo.\n",
                 script.c_str(), error ? error.message().c_str() : std::strerror(errno));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    // Before anything of Qt reads the environment or the command line.
    if (const int refused = GuardSecureExecution("posflash", argc, argv))
        return refused;
    SetRuntimeDirWhereUnset();
    // Answered before QApplication, which aborts without a display.
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-v") == 0)) {
        std::printf("posflash %s\n", POSFLASH_VERSION);
        return 0;
    }
    if (asksForHelp(argc, argv)) {
        // A core application needs no display and gives the parser the program's name.
        const QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("posflash"));
        QCoreApplication::setApplicationVersion(QStringLiteral(POSFLASH_VERSION));
        CommandLine commandLine;
        commandLine.parser.process(core); // prints the help and exits 0
    }
    // A word neither window knows is said before QApplication, which needs a display.
    CommandLine commandLine;
    QCommandLineParser& parser = commandLine.parser;
    if (!parser.parse(ownArguments(argc, argv))) {
        std::fprintf(stderr, "posflash: %s\nsee 'posflash --help'\n",
                     qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("posflash %s\n", POSFLASH_VERSION);
        return 0;
    }
    if (parser.isSet(commandLine.window.demo))
        return runDemo(argc, argv);
    // The page of slot codes needs no display: it may be made on any machine.
    if (parser.isSet(commandLine.line.printSlotCodes) || parser.isSet(commandLine.line.out)) {
        const QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("posflash"));
        return PrintSlotCodesPage(parser, commandLine.line);
    }
    // The production window hears TERM, HUP and INT as its close button: made before any
    // thread starts, so that every thread holds them.
    const bool line = commandLine.line.wanted(parser);
    std::optional<ProcessSignals> lineStops;
    if (line) {
        // Its own X11 instance name (WM_CLASS "posflash-line", "posflash"), so that a desktop
        // shows the production line's entry and icon for it, not the main window's.
        if (!qEnvironmentVariableIsSet("RESOURCE_NAME"))
            qputenv("RESOURCE_NAME", "posflash-line");
        lineStops.emplace();
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("posflash"));
    QApplication::setApplicationVersion(QStringLiteral(POSFLASH_VERSION));
    // Wayland compositors find the menu entry, and with it the icon, by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.posflash.posflash"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/posflash.png")));
    return line ? RunProductionLine(parser, commandLine.line, *lineStops)
                : RunMainWindow(parser, commandLine.window);
}
