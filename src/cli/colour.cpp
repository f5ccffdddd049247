#include "cli/colour.h"

#include "base/named_values.h"

namespace posflash {

std::optional<ColourChoice> ParseColourChoice(const QString& text) {
    static constexpr NamedValue<ColourChoice> kChoices[] = {{ColourChoice::Auto, "auto"},
                                                            {ColourChoice::Always, "always"},
                                                            {ColourChoice::Never, "never"}};
    return ValueIn(kChoices, text);
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
