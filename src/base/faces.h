#pragma once

#include <QString>
#include <QTranslator>

#include <memory>

namespace posflash {

// The two faces of the tool. English texts are the sources; the Chinese face comes from the
// embedded translation. Texts that exist in one language only are used as they stand.
class Faces {
public:
    Faces();

    bool UseEnglish() const { return useEnglish_; }
    void setUseEnglish(bool english) { useEnglish_ = english; }

    // The text in the face in force; context is the translation context of the source.
    QString text(const char* context, const char* english) const;
    // A count's text: the Chinese from the translation's plural forms of many (%n the count);
    // the English one for 1 and many otherwise.
    QString count(const char* context, const char* one, const char* many, int n) const;

    // True when the Chinese translation was found (a build fault otherwise).
    bool hasChinese() const { return chineseLoaded_; }

private:
    std::unique_ptr<QTranslator> chinese_;
    bool chineseLoaded_ = false;
    bool useEnglish_ = false;
};

// Faces::text for a file whose texts share one context: constexpr auto t = TextIn<kContext>;
template <const char* Context>
QString TextIn(const Faces& faces, const char* english) {
    return faces.text(Context, english);
}

} // namespace posflash
