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

QString Faces::count(const char* context, const char* one, const char* many, int n) const {
    if (!useEnglish_ && chineseLoaded_) {
        // A translator picks the plural form; filling in %n is the caller's (as QCoreApplication
        // does).
        QString chinese = chinese_->translate(context, many, nullptr, n);
        if (!chinese.isEmpty())
            return chinese.replace(QStringLiteral("%n"), QString::number(n));
    }
    QString english = QString::fromUtf8(n == 1 ? one : many);
    return english.replace(QStringLiteral("%n"), QString::number(n));
}

} // namespace posflash
