#pragma once

#include "base/bytes.h"
#include "protocol/address_text.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace posflash {

// What the responder answers with; rebuilt at every link attempt.
struct BootpConfig {
    Ipv4Bytes printerIp{};
    MacBytes printerMac{};
    Ipv4Bytes hostIp{};
    QByteArray bootFileName;
};

namespace bootp {
inline constexpr std::size_t kOpAt = 4;
inline constexpr std::size_t kHtypeAt = 5;
inline constexpr std::size_t kHlenAt = 6;
inline constexpr std::size_t kYiaddrAt = 20;
inline constexpr std::size_t kSiaddrAt = 24;
inline constexpr std::size_t kChaddrAt = 32;
inline constexpr std::size_t kSnameAt = 48;
inline constexpr std::size_t kSnameSize = 64;
inline constexpr std::size_t kFileAt = 112;
inline constexpr std::size_t kFileSize = 128;
inline constexpr const char* kBrandWord = "V-ORBIT";
} // namespace bootp

// The text of a zero-ended field: byte 0 is always taken, then bytes up to the first zero.
// Empty when the field holds no zero after its first byte (such a field matches nothing).
std::optional<QByteArray> BytesToString(ByteView field);

// True when the first count bytes are equal; a count of 0 or less is True.
bool CompareBytes(ByteView a, ByteView b, int count);

// The framed BOOTP reply to a request, or nothing when the request is not for us: the
// request with op, yiaddr, siaddr and file overwritten, of the request's length. Only step
// 0 answers. Requests too short for the fields read or written are dropped.
std::optional<Bytes> AnswerBootpRequest(ByteView request, const BootpConfig& config, short step);

} // namespace posflash
