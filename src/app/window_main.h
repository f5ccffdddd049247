#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace posflash {

// The specified window's options, read on the one command line the program shares with the
// production window.
struct WindowOptions {
    QCommandLineOption demoDevice{
        QStringLiteral("demo-device"),
        QStringLiteral("Count the serial device PATH as a printer's USB virtual COM port (the "
                       "demo against the simulated printer)."),
        QStringLiteral("PATH")};
    QCommandLineOption screenshot{
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the started window to FILE (PNG) and quit."),
        QStringLiteral("FILE")};
    QCommandLineOption demo{
        QStringLiteral("demo"),
        QStringLiteral("Start against a simulated printer with a sample firmware image, in "
                       "settings of its own that go when the window closes.")};
    // For the package's test: the download runs as a press of the button would start it, the
    // window closes when it has ended, and the exit status says whether it completed.
    QCommandLineOption pressDownload{
        QStringLiteral("press-download"),
        QStringLiteral("For tests: press Download once, close when it has ended.")};

    void addTo(QCommandLineParser& parser);
};

// The specified window's part of the program, once the application object is made: the window
// until it closes (or its picture, with --screenshot). Returns the exit code.
int RunMainWindow(const QCommandLineParser& parser, const WindowOptions& options);

} // namespace posflash
