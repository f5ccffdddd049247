#include "protocol/checksums.h"
#include "protocol/frames.h"
#include "protocol/pc_code.h"

#include <gtest/gtest.h>

#include <numeric>

namespace posflash {
namespace {

Bytes patternImage(std::size_t n) {
    Bytes image(n);
    for (std::size_t i = 0; i < n; ++i)
        image[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
    return image;
}

void expectHeader(const Bytes& f, Kind kind, Command cmd, std::uint16_t length) {
    ASSERT_GE(f.size(), frame::kHeaderSize);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 4), Bytes({0x1F, 0x1B, 0x1C, 0x06}));
    EXPECT_EQ(f[4], 0x03);
    EXPECT_EQ(f[5], static_cast<std::uint8_t>(kind));
    EXPECT_EQ(f[6], static_cast<std::uint8_t>(cmd));
    EXPECT_EQ(getU16(f, 7), length);
    EXPECT_EQ(f.size(), frame::kHeaderSize + length);
}

TEST(StartFrame, HoldsLengthCrcStampAndPcCodeAtTheirOffsets) {
    const std::string digits = "123456789";
    const Bytes image(digits.begin(), digits.end());
    const PcCode code = GetPcCodeData(7);
    const Bytes f = BuildStartFrame(Kind::Program, image, "261206", "235959", code);

    ASSERT_EQ(f.size(), 555u);
    expectHeader(f, Kind::Program, Command::Start, 544);
    EXPECT_EQ(f[7], 0x20);
    EXPECT_EQ(f[8], 0x02);
    EXPECT_EQ(getU16(f, 9), 0);
    EXPECT_EQ(getU32(f, 11), 9u);
    EXPECT_EQ(Bytes(f.begin() + 15, f.begin() + 19), Bytes({0xC3, 0x31, 0x00, 0x00}));
    EXPECT_TRUE(std::all_of(f.begin() + 19, f.begin() + 27, [](auto b) { return b == 0; }));
    EXPECT_EQ(std::string(f.begin() + 27, f.begin() + 33), "261206");
    EXPECT_EQ(std::string(f.begin() + 33, f.begin() + 39), "235959");
    EXPECT_TRUE(std::all_of(f.begin() + 39, f.begin() + 43, [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::equal(code.begin(), code.end(), f.begin() + 43));
}

TEST(DataFrames, ThousandByteProgramImageGivesA529AndA505ByteFrame) {
    const Bytes image = patternImage(1000);
    ASSERT_EQ(DataFrameCount(image.size(), kProgramFrameDataSize), 2u);

    const Bytes f1 = BuildDataFrame(Kind::Program, image, 1, kProgramFrameDataSize);
    ASSERT_EQ(f1.size(), 529u);
    expectHeader(f1, Kind::Program, Command::Data, 518);
    EXPECT_EQ(getU16(f1, 11), 1);
    EXPECT_EQ(getU32(f1, 13), 0u);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 512, f1.begin() + 17));
    EXPECT_EQ(FrameSumOf(f1), GetSum(ByteView(image).first(512)) & 0xFFFF);

    const Bytes f2 = BuildDataFrame(Kind::Program, image, 2, kProgramFrameDataSize);
    ASSERT_EQ(f2.size(), 505u);
    expectHeader(f2, Kind::Program, Command::Data, 494);
    EXPECT_EQ(getU16(f2, 11), 2);
    EXPECT_EQ(getU32(f2, 13), 512u);
    EXPECT_TRUE(std::equal(image.begin() + 512, image.end(), f2.begin() + 17));
    EXPECT_EQ(FrameSumOf(f2), GetSum(ByteView(image).subspan(512)) & 0xFFFF);
}

TEST(DataFrames, WholeMultipleImageEndsWithAFullFrame) {
    const Bytes image = patternImage(1024);
    ASSERT_EQ(DataFrameCount(image.size(), kProgramFrameDataSize), 2u);
    const Bytes f2 = BuildDataFrame(Kind::Program, image, 2, kProgramFrameDataSize);
    ASSERT_EQ(f2.size(), 529u);
    EXPECT_EQ(getU32(f2, 13), 512u);
    EXPECT_TRUE(std::equal(image.begin() + 512, image.end(), f2.begin() + 17));
}

TEST(DataFrames, FontImageUses1024ByteSlicesAndKind81) {
    const Bytes image = patternImage(1500);
    ASSERT_EQ(DataFrameCount(image.size(), kFontFrameDataSize), 2u);
    const Bytes f1 = BuildDataFrame(Kind::Font, image, 1, kFontFrameDataSize);
    const Bytes f2 = BuildDataFrame(Kind::Font, image, 2, kFontFrameDataSize);
    ASSERT_EQ(f1.size(), 1041u);
    ASSERT_EQ(f2.size(), 493u);
    expectHeader(f1, Kind::Font, Command::Data, 1030);
    expectHeader(f2, Kind::Font, Command::Data, 482);
    EXPECT_EQ(getU32(f2, 13), 1024u);
}

TEST(DataFrames, FrameSumKeepsOnlyTheLow16Bits) {
    const Bytes image(512, 0xFF); // sum 130,560 = 0x1FE00
    const Bytes f = BuildDataFrame(Kind::Program, image, 1, kProgramFrameDataSize);
    EXPECT_EQ(FrameSumOf(f), 0xFE00);
}

TEST(ClosingFrames, CarryTheLastDataFrameSum) {
    for (Command cmd : {Command::End, Command::Final}) {
        const Bytes f = BuildClosingFrame(Kind::Program, cmd, 0x1234);
        ASSERT_EQ(f.size(), 11u);
        expectHeader(f, Kind::Program, cmd, 0);
        EXPECT_EQ(f[9], 0x34);
        EXPECT_EQ(f[10], 0x12);
    }
}

TEST(FirmwareCommands, BootLoaderAndFontModeCommandsAreTheirExactBytes) {
    EXPECT_EQ(BuildBootLoaderCommand(),
              Bytes({0x1F, 0x1B, 0x1C, 0x06, 0xFF, 'b', 'o', 'o', 't', 0x08, 0x0A}));
    EXPECT_EQ(BuildFontModeCommand(),
              Bytes({0x1F, 0x1B, 0x1C, 0x06, 0x03, 0x80, 0xF0, 0x00, 0x00, 0x00, 0x00}));
}

TEST(FirmwareCommands, AnEchoIsTheBootCommandsFirstNineOrTenBytesOnly) {
    const Bytes ten{0x1F, 0x1B, 0x1C, 0x06, 0xFF, 'b', 'o', 'o', 't', 0x08};
    EXPECT_TRUE(IsBootCommandEcho(ten));
    EXPECT_TRUE(IsBootCommandEcho(ByteView(ten).first(9)));
    EXPECT_FALSE(IsBootCommandEcho(ByteView(ten).first(8)));
    EXPECT_FALSE(IsBootCommandEcho({}));
    Bytes whole = ten;
    whole.push_back(0x0A);
    EXPECT_FALSE(IsBootCommandEcho(whole));
    Bytes wrong = ten;
    wrong[8] = 'T';
    EXPECT_FALSE(IsBootCommandEcho(wrong));
    wrong = ten;
    wrong[9] = 0x0A;
    EXPECT_FALSE(IsBootCommandEcho(wrong));
}

TEST(ImageLimits, EmptyAndOversizedImagesAreRefusedBeforeAnyFrame) {
    EXPECT_EQ(CheckImageFrameable(0, kProgramFrameDataSize), ImageProblem::Empty);
    EXPECT_EQ(CheckImageFrameable(16776704, kProgramFrameDataSize), ImageProblem::None);
    EXPECT_EQ(CheckImageFrameable(16776705, kProgramFrameDataSize), ImageProblem::TooManyFrames);
    EXPECT_EQ(CheckImageFrameable(33553408, kFontFrameDataSize), ImageProblem::None);
    EXPECT_EQ(CheckImageFrameable(33553409, kFontFrameDataSize), ImageProblem::TooManyFrames);
}

TEST(PcCode, EveryByteLiesIn1To255AndEveryValueOccurs) {
    std::array<int, 256> seen{};
    for (std::uint64_t seed = 0; seed < 200; ++seed)
        for (std::uint8_t b : GetPcCodeData(seed))
            ++seen[b];
    EXPECT_EQ(seen[0], 0);
    for (int v = 1; v < 256; ++v)
        EXPECT_GT(seen[v], 0) << "value " << v << " never drawn";
    EXPECT_NE(GetPcCodeData(1), GetPcCodeData(2));
}

TEST(ReplyReaders, NeverReadPastTheEndOfAReply) {
    const Bytes shortReply{0x1F, 0x1B, 0x1C};
    EXPECT_FALSE(HasFramePrefix(shortReply));
    EXPECT_FALSE(ReplyStatus(shortReply));
    const Bytes seven{0x1F, 0x1B, 0x1C, 0x06, 0x04, 0x80, 0x50};
    EXPECT_TRUE(HasFramePrefix(seven));
    EXPECT_EQ(ReplyStatus(seven), 4);
    EXPECT_EQ(ReplyCommand(seven), 0x50);
    EXPECT_FALSE(ReplyFrameNo(seven));
    Bytes twelve(12, 0);
    EXPECT_FALSE(ReplyFrameNo(twelve));
    Bytes thirteen(13, 0);
    thirteen[11] = 0x00;
    thirteen[12] = 0x03;
    EXPECT_EQ(ReplyFrameNo(thirteen), 768); // little-endian: byte 11 is the low byte
}

} // namespace
} // namespace posflash
