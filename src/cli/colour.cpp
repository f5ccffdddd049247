#include "cli/colour.h"

namespace posflash {

std::optional<ColourChoice> ParseColourChoice(const QString& text) {
    if (text == QLatin1String("auto"))
        return ColourChoice::Auto;
    if (text == QLatin1String("always"))
        return ColourChoice::Always;
    if (text == QLatin1String("never"))
        return ColourChoice::Never;
    return std::nullopt;
}

bool UseColour(ColourChoice choice, bool terminal, const QByteArray& noColorVariable) {
    switch (choice) {
    case ColourChoice::Always:
        return true;
    case ColourChoice::Never:
        return false;
    case ColourChoice::Auto:
        break;
    }
    return terminal && noColorVariable.isEmpty();
}

QString Paint(const QString& text, Tone tone, bool on) {
    if (!on || tone == Tone::Plain || text.isEmpty())
        return text;
    const char* code = tone == Tone::Done ? "32" : tone == Tone::Failed ? "31" : "33";
    return QStringLiteral("\033[%1m").arg(QLatin1String(code)) + text + QStringLiteral("\033[0m");
}

} // namespace posflash
