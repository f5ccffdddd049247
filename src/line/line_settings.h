#pragma once

#include "base/error.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace posflash {

// A network printer's place on the line: its address stays, the MAC changes with every unit.
struct NetworkSlotChoice {
    QString ip;
    QString mac; // the first unit's, when known; later ones come from the label or the operator
};

// What the operator chooses at the start of a shift.
struct LineSettings {
    QString imagePath;
    bool font = false;
    QStringList ports;    // serial device nodes or "COMn", one slot each
    QStringList usbPaths; // USB hub ports ("1-1.2"), one hot-plug slot each
    QString serialPrefix; // a USB slot takes only printers whose serial number starts so
    // A scan of this and a slot's number ("SLOT-3") points the next label at that slot.
    QString slotPrefix = QStringLiteral("SLOT-");
    std::vector<NetworkSlotChoice> network;
    int retries = 1;
    bool requireLabel = false;
    QString operatorName;
    QString station;  // the records' name for this station; empty: the host's name
    QString language; // the window's face: "en", "zh", or empty for the desktop's language
    // The line's records database (an address as posflash-cli's --records takes it); empty:
    // nothing is sent. Read from line.ini, never written back: the address may hold a password
    // that a command line gave for one run.
    QString records;
    // The signed line recipe the shift runs under: a file (its signature beside it), or the
    // name of one published in the line's records (the newest, fetched at each shift's start).
    // Both empty: no recipe.
    QString recipe;
    QString recipeFromRecords;

    int slotCount() const {
        return static_cast<int>(ports.size() + usbPaths.size() + network.size());
    }
};

inline constexpr int kMaxRetries = 9;

// Whether the production window speaks Chinese: as chosen, or as the desktop's language is.
bool LineSpeaksChinese(const LineSettings& settings);

// line.ini in the settings folder: the production window's own file, never sys_config.ini.
QString LineSettingsPath();

// What was kept; the defaults where the file or a key is missing.
LineSettings LoadLineSettings(const QString& filePath);
Status SaveLineSettings(const LineSettings& settings, const QString& filePath);

// Why these choices cannot start a shift, in words; empty when they can.
QString StartProblem(const LineSettings& settings);

} // namespace posflash
