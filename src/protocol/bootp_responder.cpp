#include "protocol/bootp_responder.h"

#include "protocol/frames.h"

#include <algorithm>
#include <cstring>

namespace posflash {

std::optional<QByteArray> BytesToString(ByteView field) {
    if (field.empty())
        return std::nullopt;
    const auto end = std::find(field.begin() + 1, field.end(), std::uint8_t{0});
    if (end == field.end())
        return std::nullopt;
    return QByteArray(reinterpret_cast<const char*>(field.data()),
                      static_cast<qsizetype>(end - field.begin()));
}

bool CompareBytes(ByteView a, ByteView b, int count) {
    if (count <= 0)
        return true;
    const auto n = static_cast<std::size_t>(count);
    if (a.size() < n || b.size() < n)
        return false;
    return std::equal(a.begin(), a.begin() + count, b.begin());
}

std::optional<Bytes> AnswerBootpRequest(ByteView request, const BootpConfig& config, short step) {
    using namespace bootp;
    if (step != 0)
        return std::nullopt;
    if (config.bootFileName.size() > static_cast<qsizetype>(kFileSize))
        return std::nullopt;
    const std::size_t needed = std::max(
        kSnameAt + kSnameSize, kFileAt + static_cast<std::size_t>(config.bootFileName.size()));
    if (request.size() < needed || !HasFramePrefix(request))
        return std::nullopt;
    if (request[kOpAt] != 1 || request[kHtypeAt] != 1 || request[kHlenAt] != 6)
        return std::nullopt;

    const auto sname = BytesToString(request.subspan(kSnameAt, kSnameSize));
    if (!sname || *sname != kBrandWord)
        return std::nullopt;
    if (!CompareBytes(request.subspan(kChaddrAt, 6), config.printerMac, 6))
        return std::nullopt;

    Bytes reply(request.begin(), request.end());
    reply[kOpAt] = 2;
    std::copy(config.printerIp.begin(), config.printerIp.end(), reply.begin() + kYiaddrAt);
    std::copy(config.hostIp.begin(), config.hostIp.end(), reply.begin() + kSiaddrAt);
    // No terminator: the rest of the request's file field stays as it came.
    std::memcpy(reply.data() + kFileAt, config.bootFileName.constData(),
                static_cast<std::size_t>(config.bootFileName.size()));
    return reply;
}

} // namespace posflash
