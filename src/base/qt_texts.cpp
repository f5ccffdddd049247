#include "base/qt_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace posflash {

QtTexts::~QtTexts() {
    speak(false);
}

void QtTexts::speak(bool chinese) {
    if (chinese == installed_)
        return;
    if (!chinese) {
        QCoreApplication::removeTranslator(&chinese_);
        installed_ = false;
        return;
    }
    if (chinese_.isEmpty() && !chinese_.load(QStringLiteral("qtbase_zh_CN"),
                                             QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    installed_ = QCoreApplication::installTranslator(&chinese_);
}

} // namespace posflash
