#include "base/faces.h"

namespace posflash {

Faces::Faces() : chinese_(std::make_unique<QTranslator>()) {
    chineseLoaded_ = chinese_->load(QStringLiteral(":/i18n/posflash_zh_CN.qm"));
}

QString Faces::text(const char* context, const char* english) const {
    if (!useEnglish_ && chineseLoaded_) {
        const QString chinese = chinese_->translate(context, english);
        if (!chinese.isEmpty())
            return chinese;
    }
    return QString::fromUtf8(english);
}

} // namespace posflash
