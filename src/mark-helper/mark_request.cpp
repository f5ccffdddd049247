#include "mark-helper/mark_request.h"

#include <algorithm>

namespace posflash::mark_helper {

namespace {

ParsedMarkRequest refused(std::string why) {
    return {std::nullopt, std::move(why)};
}

bool isLowerHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

} // namespace

std::optional<std::uint64_t> ParseSequence(std::string_view text) {
    // 2^53 has 16 digits; more can only be too large, and would overflow below.
    if (text.empty() || text.size() > 16 || (text.size() > 1 && text[0] == '0'))
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > kMaxSequence)
        return std::nullopt;
    return value;
}

std::optional<std::uint64_t> ParseStoredMark(std::string_view content) {
    if (content.empty() || content.back() != '\n')
        return std::nullopt;
    content.remove_suffix(1);
    return ParseSequence(content);
}

ParsedMarkRequest ParseMarkRequest(const std::vector<std::string_view>& args) {
    if (args.size() != 3 || args[0] != "raise")
        return refused("usage: posflash-mark-helper raise NAME_HEX SEQUENCE");
    const std::string_view name = args[1];
    if (name.size() < kMinNameHex || name.size() > kMaxNameHex || name.size() % 2 != 0 ||
        !std::all_of(name.begin(), name.end(), isLowerHex))
        return refused("the name must be its UTF-8 bytes in lower-case hex, 2 to 512 digits");
    const auto sequence = ParseSequence(args[2]);
    if (!sequence)
        return refused("the sequence must be a decimal number from 0 to 9007199254740992, "
                       "without sign or leading zeros");
    return {MarkRequest{std::string(name), *sequence}, {}};
}

std::vector<std::string> MarkPath(std::string_view nameHex) {
    std::vector<std::string> path;
    while (nameHex.size() > kPieceSize) {
        path.push_back(std::string(nameHex.substr(0, kPieceSize)) + "+");
        nameHex.remove_prefix(kPieceSize);
    }
    path.emplace_back(nameHex);
    return path;
}

} // namespace posflash::mark_helper
