#include "base/faces.h"
#include "download/download_texts.h"
#include "link/link_texts.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(DownloadTexts, ElapsedSecondsInShortestForm) {
    EXPECT_EQ(ElapsedSeconds(123), "12.3");
    EXPECT_EQ(ElapsedSeconds(50), "5");
    EXPECT_EQ(ElapsedSeconds(5), "0.5");
    EXPECT_EQ(ElapsedSeconds(0), "0");
}

// The downloads check the failure texts in English only; their other face is checked here.
TEST(DownloadTexts, TheOtherFaceOfTheFailureTexts) {
    Faces faces;
    ASSERT_TRUE(faces.hasChinese()) << "the embedded translation is missing";
    EXPECT_EQ(texts::downloadFailed(faces), QStringLiteral("程序下载失败!"));
    EXPECT_TRUE(link_texts::bindFailed(faces, 67, "in use", "/usr/bin/posflash")
                    .startsWith(QStringLiteral("无法使用 UDP 端口 67（in use）")));
    EXPECT_TRUE(link_texts::invalidIp(faces, "1.2.3").contains(QStringLiteral("“1.2.3”无效")));
    EXPECT_TRUE(link_texts::invalidMac(faces, "x").startsWith(QStringLiteral("MAC 地址")));
    faces.setUseEnglish(true);
    EXPECT_EQ(texts::readyForDownload(faces), "Ready for download, please wait...");
}

} // namespace
} // namespace posflash
