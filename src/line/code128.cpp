#include "line/code128.h"

#include <array>

namespace posflash {

namespace {

// Bar, space, bar, space, bar, space widths of each symbol value, 0 to 105 (104: start B).
// clang-format off
constexpr std::array<const char*, 106> kSymbols = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122", "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123", "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331", "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412", "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111", "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232",
};
// clang-format on
constexpr int kStartB = 104;
constexpr const char* kStop = "2331112";

void append(std::vector<int>& widths, const char* symbol) {
    for (const char* w = symbol; *w; ++w)
        widths.push_back(*w - '0');
}

} // namespace

std::optional<std::vector<int>> Code128Widths(const QString& text) {
    std::vector<int> widths;
    append(widths, kSymbols[kStartB]);
    int check = kStartB;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < 32 || c > 126)
            return std::nullopt;
        const int value = c - 32;
        append(widths, kSymbols[static_cast<std::size_t>(value)]);
        check += static_cast<int>(i + 1) * value;
    }
    append(widths, kSymbols[static_cast<std::size_t>(check % 103)]);
    append(widths, kStop);
    return widths;
}

} // namespace posflash
