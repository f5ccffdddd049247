#pragma once

#include <QString>

#include <optional>

namespace posflash {

// --color=auto|always|never; auto colours only a terminal.
enum class ColourChoice { Auto, Always, Never };

std::optional<ColourChoice> ParseColourChoice(const QString& text);

// Whether to colour: auto colours a terminal unless NO_COLOR is set to anything non-empty
// (no-color.org); --color=always, asked for on the command line itself, still colours.
bool UseColour(ColourChoice choice, bool terminal, const QByteArray& noColorVariable);

// How a line reads at a glance: done (green), failed (red), retrying (yellow).
enum class Tone { Plain, Done, Failed, Retrying };

// text in its tone's colour when on, else text as it is.
QString Paint(const QString& text, Tone tone, bool on);

} // namespace posflash
