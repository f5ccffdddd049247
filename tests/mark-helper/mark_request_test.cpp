// The mark helper's arguments, its stored marks and where a name's mark lives.
#include "mark-helper/mark_request.h"

#include <gtest/gtest.h>

namespace posflash::mark_helper {
namespace {

TEST(MarkRequest, TakesOnlyRaiseWithALowerCaseHexNameAndAPlainSequence) {
    const std::string usage = "usage: posflash-mark-helper raise NAME_HEX SEQUENCE";
    const std::string name = "the name must be its UTF-8 bytes in lower-case hex, 2 to 512 digits";
    const std::string sequence = "the sequence must be a decimal number from 0 to "
                                 "9007199254740992, without sign or leading zeros";
    const std::string longest(512, 'a');
    // clang-format off
    const struct { std::vector<std::string_view> args; std::string expected; } cases[] = {
        {{"raise", "5831", "7"}, "5831 7"},   {{"raise", "00", "0"}, "00 0"},
        {{"raise", longest, "9007199254740992"}, longest + " 9007199254740992"},
        {{"raise", "5831", "9007199254740993"}, sequence}, {{"raise", "5831", "99999999999999999999"}, sequence},
        {{"raise", "5831", "07"}, sequence},  {{"raise", "5831", "+7"}, sequence},
        {{"raise", "5831", ""}, sequence},    {{"raise", "5831", "7 "}, sequence},
        {{"raise", "58A1", "7"}, name},       {{"raise", "583", "7"}, name},
        {{"raise", "../x", "7"}, name},       {{"raise", longest + "aa", "7"}, name},
        {{"lower", "5831", "7"}, usage},      {{"raise", "5831"}, usage},
        {{"raise", "5831", "7", "8"}, usage},
    };
    // clang-format on
    for (const auto& c : cases) {
        const ParsedMarkRequest p = ParseMarkRequest(c.args);
        EXPECT_EQ(p.request ? p.request->nameHex + " " + std::to_string(p.request->sequence)
                            : p.refusal,
                  c.expected);
    }
}

TEST(MarkRequest, AStoredMarkIsOneSequenceAndALineBreakAndALongNameIsCutIntoFolders) {
    EXPECT_EQ(ParseStoredMark("42\n"), 42u);
    for (const std::string_view bad : {"42", "42\n\n", "042\n", "4 2\n", "\n", ""})
        EXPECT_FALSE(ParseStoredMark(bad).has_value()) << bad;
    const std::string piece(kPieceSize, 'b');
    EXPECT_EQ(MarkPath(piece), std::vector<std::string>{piece});
    EXPECT_EQ(MarkPath(std::string(512, 'b')),
              (std::vector<std::string>{piece + "+", piece + "+", "bbbbbbbbbbbb"}));
}

} // namespace
} // namespace posflash::mark_helper
