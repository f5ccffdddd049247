#include "base/error.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace posflash {
namespace {

// Context goes in front; domain, code and the system's words stay for whoever decides a cause.
TEST(ErrorTest, ContextGoesInFrontAndTheDomainAndCodeStay) {
    const Error open = SystemError(ENOENT, QStringLiteral("cannot open /dev/ttyUSB0"));
    const Error up = WithContext(open, QStringLiteral("could not open COM3"));
    EXPECT_TRUE(up.is(ErrorDomain::System, ENOENT));
    EXPECT_EQ(up.detail, open.detail);
    EXPECT_EQ(up.text, QStringLiteral("could not open COM3: ") + open.text);
    EXPECT_EQ(WithContext(Error{}, QStringLiteral("reading")).text, QStringLiteral("reading"));

    const Result<int> fine = WithContext(Result<int>(7), QStringLiteral("unused"));
    ASSERT_TRUE(fine);
    EXPECT_EQ(*fine, 7);
    const Status failed = WithContext(Status(Error{3, "x", {}, ErrorDomain::Network}), "link");
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().text, QStringLiteral("link: x"));
    // The same number from two sources is two different errors.
    EXPECT_FALSE(failed.error().is(ErrorDomain::Ports, 3));
    EXPECT_STREQ(DomainName(failed.error().domain), "network");
}

} // namespace
} // namespace posflash
