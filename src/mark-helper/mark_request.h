#pragma once

// The arguments posflash-mark-helper takes, and the marks it stores, as text: the standard
// library only, like the setuid program itself.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace posflash::mark_helper {

// The highest sequence a mark holds: 2^53, the largest integer a recipe's JSON number keeps
// exactly.
inline constexpr std::uint64_t kMaxSequence = 9007199254740992ULL;
inline constexpr std::size_t kMinNameHex = 2;
inline constexpr std::size_t kMaxNameHex = 512;

struct MarkRequest {
    std::string nameHex; // the recipe name's UTF-8 bytes in lower-case hex
    std::uint64_t sequence = 0;
};

struct ParsedMarkRequest {
    std::optional<MarkRequest> request;
    std::string refusal; // why not, when there is no request
};

// The arguments after the program's name: "raise NAME_HEX SEQUENCE".
ParsedMarkRequest ParseMarkRequest(const std::vector<std::string_view>& args);

// A sequence as written: decimal, no sign, no leading zero but "0", at most kMaxSequence.
std::optional<std::uint64_t> ParseSequence(std::string_view text);

// A stored mark's content, "SEQUENCE\n"; anything else is no mark.
std::optional<std::uint64_t> ParseStoredMark(std::string_view content);

// Where a name's mark lives below the marks folder: a file name holds at most 255 bytes, so a
// long name's hex is cut into pieces of kPieceSize; each piece but the last names a folder and
// ends in '+', which no file name has, so no two names share a path.
inline constexpr std::size_t kPieceSize = 250;
std::vector<std::string> MarkPath(std::string_view nameHex);

} // namespace posflash::mark_helper
