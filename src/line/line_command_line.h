#pragma once

#include "base/error.h"
#include "line/line_settings.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace posflash {

// What the command line asks of the production window.
struct LineStart {
    LineSettings settings;
    bool start = false; // the tiles run at once, without the start panel
    // Only the page of slot codes is wanted: into this file, or standard output when empty.
    bool printSlotCodes = false;
    QString out;
};

// The production window's options, so that a station starts its shift from a desktop entry or
// a script: posflash --line --image FILE [--font] (--port DEV|COMn)... [--usb-path P]
// [--serial-prefix S] [--ip A --mac M]... --operator NAME [--retries N] [--require-label]
// [--records ADDRESS] [--recipe RECIPE | --recipe-from-records NAME] --start
class LineCommandLine {
public:
    void addTo(QCommandLineParser& parser) const;
    bool wanted(const QCommandLineParser& parser) const { return parser.isSet(line); }
    // The stored choices with the command line's on top. Errors name the option at fault.
    Result<LineStart> read(const QCommandLineParser& parser, LineSettings stored) const;

    QCommandLineOption line{"line", "Open the production window: many printers, a verdict each."};
    QCommandLineOption image{"image", "Production window: the image to load.", "FILE"};
    QCommandLineOption font{"font", "Production window: the image is a font."};
    QCommandLineOption port{"port", "Production window: a slot on a serial port (repeatable).",
                            "DEV|COMn"};
    QCommandLineOption usbPath{"usb-path",
                               "Production window: a slot on a USB hub port, for printers "
                               "plugged one after the other (repeatable).",
                               "P"};
    QCommandLineOption serialPrefix{
        "serial-prefix", "Production window: USB slots take only serial numbers starting so.", "S"};
    QCommandLineOption ip{"ip", "Production window: a network slot's address (with --mac).", "A"};
    QCommandLineOption mac{"mac", "Production window: the first unit's MAC on the --ip before.",
                           "M"};
    QCommandLineOption operatorName{"operator", "Production window: the operator's name.", "NAME"};
    QCommandLineOption station{"station", "Production window: the station's name in the records.",
                               "NAME"};
    QCommandLineOption language{"lang", "Production window: its language, en or zh.", "LANG"};
    QCommandLineOption retries{
        "retries", "Production window: tries again after a failure that may pass (default 1).",
        "N"};
    QCommandLineOption requireLabel{"require-label",
                                    "Production window: a unit waits for its scanned label."};
    QCommandLineOption records{"records",
                               "Production window: send the history to the line's records "
                               "database (a PostgreSQL URI, key=value pairs or a service).",
                               "ADDRESS"};
    QCommandLineOption recipe{"recipe",
                              "Production window: run under the signed line recipe RECIPE "
                              "(RECIPE.minisig beside it).",
                              "RECIPE"};
    QCommandLineOption recipeFromRecords{
        "recipe-from-records",
        "Production window: run under the newest recipe NAME published in the line's records "
        "(verified with this station's trusted keys; the last one verified when the server "
        "cannot be reached).",
        "NAME"};
    QCommandLineOption start{"start", "Production window: run the tiles at once."};
    QCommandLineOption printSlotCodes{
        "print-slot-codes",
        "Production window: write a page with each slot's code to stick on its fixture "
        "(HTML, Code 128), then exit."};
    QCommandLineOption out{
        "out", "With --print-slot-codes: the page's file (else standard output).", "FILE"};
};

} // namespace posflash
