// The mark helper's arguments, its stored marks and where a name's mark lives.
#include "mark-helper/mark_request.h"

#include <gtest/gtest.h>

#include <string>

namespace posflash::mark_helper {
namespace {

std::string outcome(std::vector<std::string_view> args) {
    const ParsedMarkRequest parsed = ParseMarkRequest(args);
    return parsed.request ? parsed.request->nameHex + " " + std::to_string(parsed.request->sequence)
                          : "refused: " + parsed.refusal;
}

TEST(MarkRequest, TakesOnlyRaiseWithALowerCaseHexNameAndAPlainSequence) {
    const std::string usage = "refused: usage: posflash-mark-helper raise NAME_HEX SEQUENCE";
    const std::string badName =
        "refused: the name must be its UTF-8 bytes in lower-case hex, 2 to 512 digits";
    const std::string badSequence = "refused: the sequence must be a decimal number from 0 to "
                                    "9007199254740992, without sign or leading zeros";
    const std::string longest(512, 'a');
    // clang-format off
    const struct { std::vector<std::string_view> args; std::string expected; } cases[] = {
        {{"raise", "5831", "7"},                "5831 7"},
        {{"raise", "00", "0"},                  "00 0"},
        {{"raise", longest, "9007199254740992"}, longest + " 9007199254740992"},
        {{"raise", "5831", "9007199254740993"}, badSequence},
        {{"raise", "5831", "99999999999999999999"}, badSequence}, // would overflow
        {{"raise", "5831", "07"},               badSequence},
        {{"raise", "5831", "+7"},               badSequence},
        {{"raise", "5831", "-1"},               badSequence},
        {{"raise", "5831", ""},                 badSequence},
        {{"raise", "5831", "7 "},               badSequence},
        {{"raise", "58A1", "7"},                badName},
        {{"raise", "583", "7"},                 badName},
        {{"raise", "", "7"},                    badName},
        {{"raise", "../x", "7"},                badName},
        {{"raise", longest + "aa", "7"},        badName},
        {{"lower", "5831", "7"},                usage},
        {{"raise", "5831"},                     usage},
        {{"raise", "5831", "7", "8"},           usage},
        {{},                                    usage},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(outcome(c.args), c.expected);
    }
}

TEST(MarkRequest, AStoredMarkIsOneSequenceAndALineBreakAndNothingElse) {
    EXPECT_EQ(ParseStoredMark("42\n"), 42u);
    EXPECT_EQ(ParseStoredMark("0\n"), 0u);
    for (const std::string_view bad : {"42", "42\n\n", "042\n", "4 2\n", "\n", "", "x\n"})
        EXPECT_FALSE(ParseStoredMark(bad).has_value()) << bad;
}

TEST(MarkRequest, ALongNamesMarkIsCutIntoFoldersThatNoFileNameCanBe) {
    EXPECT_EQ(MarkPath("5831"), std::vector<std::string>{"5831"});
    const std::string piece(kPieceSize, 'b');
    EXPECT_EQ(MarkPath(piece), std::vector<std::string>{piece});
    EXPECT_EQ(MarkPath(piece + "cc"), (std::vector<std::string>{piece + "+", "cc"}));
    EXPECT_EQ(MarkPath(std::string(512, 'b')),
              (std::vector<std::string>{piece + "+", piece + "+", "bbbbbbbbbbbb"}));
}

} // namespace
} // namespace posflash::mark_helper
