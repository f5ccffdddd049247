#include "protocol/frames.h"
#include "protocol/pc_code.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

// The simulated printer checks every frame's layout; here what no test image's download reaches.

TEST(DataFrames, FrameSumKeepsOnlyTheLow16Bits) {
    const Bytes image(512, 0xFF); // sum 130,560 = 0x1FE00
    const Bytes f = BuildDataFrame(ImageKind::Program, image, 1, kProgramFrameDataSize);
    EXPECT_EQ(f[9], 0x00);
    EXPECT_EQ(f[10], 0xFE);
}

TEST(DataFrames, ABufferReusedFromALongerFrameHoldsNothingOfIt) {
    Bytes image(1000);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    Bytes reused(frame::kStartFrameSize, 0xAA);
    for (const std::size_t frameNo : {1u, 4u}) { // a whole slice, then the short last one
        BuildDataFrameInto(reused, ImageKind::Font, image, frameNo, 300);
        EXPECT_EQ(reused, BuildDataFrame(ImageKind::Font, image, frameNo, 300))
            << "frame " << frameNo;
    }
}

TEST(FirmwareCommands, AnEchoIsTheBootCommandsFirstNineOrTenBytesOnly) {
    const Bytes ten{0x1F, 0x1B, 0x1C, 0x06, 0xFF, 'b', 'o', 'o', 't', 0x08};
    EXPECT_TRUE(IsBootCommandEcho(ten));
    EXPECT_TRUE(IsBootCommandEcho(ByteView(ten).first(9)));
    EXPECT_FALSE(IsBootCommandEcho(ByteView(ten).first(8)));
    Bytes whole = ten;
    whole.push_back(0x0A);
    EXPECT_FALSE(IsBootCommandEcho(whole));
    Bytes wrong = ten;
    wrong[8] = 'T';
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

} // namespace
} // namespace posflash
