#pragma once

#include <QTranslator>

namespace posflash {

// Qt's own texts (the standard buttons: OK, Cancel, Yes, No, Close) in the face's language:
// Debian's qt6-translations-l10n, from Qt's translations folder. Installed while the face is
// Chinese; a folder without them leaves Qt's English.
class QtTexts {
public:
    ~QtTexts();
    void speak(bool chinese);

private:
    QTranslator chinese_;
    bool installed_ = false;
};

} // namespace posflash
