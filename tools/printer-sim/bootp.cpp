#include "printer-sim/bootp.h"

#include <algorithm>
#include <limits>

namespace posflash::sim {

namespace {

constexpr std::array<std::uint8_t, 4> kMagicCookie{0x63, 0x82, 0x53, 0x63};
constexpr std::uint8_t kEndOption = 0xFF;
// Enough bytes of a changed field to see what happened without flooding the report.
constexpr std::size_t kShownBytes = 8;

void writeBigEndian(Bytes& out, std::size_t at, std::uint32_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        out[at + i] = static_cast<std::uint8_t>(value >> (8 * (size - 1 - i)));
}

QString hexBytes(ByteView bytes) {
    QStringList parts;
    for (const std::uint8_t b : bytes.first(std::min(bytes.size(), kShownBytes)))
        parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    if (bytes.size() > kShownBytes)
        parts << QStringLiteral("..");
    return parts.join(QLatin1Char(' '));
}

Ipv4 ipAt(ByteView bytes, std::size_t at) {
    return {bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3]};
}

struct Field {
    const char* name;
    std::size_t at;
    std::size_t size; // up to the end of the message for the vend area
};

constexpr std::size_t kToTheEnd = std::numeric_limits<std::size_t>::max();

// Everything the reply must carry back exactly as the printer sent it.
constexpr std::array<Field, 11> kEchoed{{
    {"htype", kHtypeAt, 1},
    {"hlen", kHlenAt, 1},
    {"hops", kHopsAt, 1},
    {"xid", kXidAt, 4},
    {"secs", kSecsAt, 2},
    {"flags", kFlagsAt, 2},
    {"ciaddr", kCiaddrAt, 4},
    {"giaddr", kGiaddrAt, 4},
    {"chaddr", kChaddrAt, kChaddrSize},
    {"sname", kSnameAt, kSnameSize},
    {"vend", kVendAt, kToTheEnd},
}};

// Reads the reply field by field, each within what the request and the reply both hold.
class ReplyReader {
public:
    ReplyReader(ByteView request, ByteView reply, QStringList& errors)
        : request_(request), reply_(reply), errors_(errors) {}

    // The reply's bytes of a field the request has; empty when the request ends before it or
    // the reply cuts it short (an error).
    std::optional<ByteView> field(const Field& f) const {
        if (f.at >= request_.size())
            return std::nullopt;
        const std::size_t end =
            f.size == kToTheEnd ? request_.size() : std::min(f.at + f.size, request_.size());
        if (end > reply_.size()) {
            errors_ << QStringLiteral("%1 (bytes %2 to %3) is cut off: the reply ends at %4 bytes")
                           .arg(QLatin1String(f.name))
                           .arg(f.at)
                           .arg(end - 1)
                           .arg(reply_.size());
            return std::nullopt;
        }
        return reply_.subspan(f.at, end - f.at);
    }

    // True when the field came back as sent.
    bool echoed(const Field& f) const {
        const auto got = field(f);
        if (!got)
            return false;
        const ByteView sent = request_.subspan(f.at, got->size());
        const auto [s, g] = std::mismatch(sent.begin(), sent.end(), got->begin());
        if (s == sent.end())
            return true;
        const auto from = static_cast<std::size_t>(s - sent.begin());
        errors_ << QStringLiteral("%1 changed at byte %2: sent %3, got back %4")
                       .arg(QLatin1String(f.name))
                       .arg(f.at + from)
                       .arg(hexBytes(sent.subspan(from)), hexBytes(got->subspan(from)));
        return false;
    }

private:
    ByteView request_;
    ByteView reply_;
    QStringList& errors_;
};

void checkFile(ByteView request, ByteView file, BootpVerdict& verdict) {
    const auto zero = std::find(file.begin(), file.end(), std::uint8_t{0});
    const ByteView name = file.first(static_cast<std::size_t>(zero - file.begin()));
    if (name.empty()) {
        verdict.errors << QStringLiteral("file holds no boot file name at byte %1").arg(kFileAt);
        return;
    }
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(name.data()), std::ssize(name));
    verdict.bootFile = text;
    if (std::any_of(name.begin(), name.end(), [](std::uint8_t b) { return b == '/' || b == '\\'; }))
        verdict.errors << QStringLiteral("file \"%1\" is a path, not a bare file name").arg(text);
    if (std::any_of(name.begin(), name.end(), [](std::uint8_t b) { return b < 0x20 || b == 0x7F; }))
        verdict.errors << QStringLiteral("file name holds control bytes: %1").arg(hexBytes(name));
    // Only the name is written; what follows it stays as the printer sent it.
    const std::size_t after = kFileAt + name.size();
    const ByteView sentRest = request.subspan(after, kFileAt + file.size() - after);
    const ByteView gotRest = file.subspan(name.size());
    if (!std::equal(sentRest.begin(), sentRest.end(), gotRest.begin()))
        verdict.errors << QStringLiteral("file after the name (from byte %1) differs from the "
                                         "request: %2")
                              .arg(after)
                              .arg(hexBytes(gotRest));
}

} // namespace

Bytes BuildBootpRequest(const BootpRequest& request) {
    Bytes message(kBootpRequestSize, 0);
    std::copy(kPrefix.begin(), kPrefix.end(), message.begin());
    message[kOpAt] = kBootRequest;
    message[kHtypeAt] = kEthernet;
    message[kHlenAt] = kEthernetAddressLength;
    writeBigEndian(message, kXidAt, request.xid, 4);
    writeBigEndian(message, kSecsAt, request.secs, 2);
    writeBigEndian(message, kFlagsAt, kBroadcastFlag, 2);
    std::copy(request.mac.begin(), request.mac.end(), message.begin() + kChaddrAt);
    const auto brandSize =
        std::min<std::size_t>(static_cast<std::size_t>(request.brand.size()), kSnameSize);
    std::copy_n(request.brand.constData(), brandSize, message.begin() + kSnameAt);
    std::copy(kMagicCookie.begin(), kMagicCookie.end(), message.begin() + kVendAt);
    message[kVendAt + kMagicCookie.size()] = kEndOption;
    message.resize(request.length, 0);
    return message;
}

bool IsPlausibleHostAddress(const Ipv4& ip, const Ipv4& printerIp) {
    return ip[0] != 0 && ip[0] < 224 && ip != printerIp;
}

BootpVerdict CheckBootpReply(ByteView request, ByteView reply, const Ipv4& printerIp) {
    BootpVerdict verdict;
    QStringList& errors = verdict.errors;
    if (reply.size() != request.size())
        errors << QStringLiteral("%1 bytes long, the request was %2")
                      .arg(reply.size())
                      .arg(request.size());
    if (reply.size() < kPrefix.size() ||
        !std::equal(kPrefix.begin(), kPrefix.end(), reply.begin())) {
        errors << QStringLiteral("does not begin with the frame prefix 1F 1B 1C 06: %1")
                      .arg(hexBytes(reply));
        return verdict;
    }

    const ReplyReader reader(request, reply, errors);
    bool ours = true;
    if (const auto op = reader.field({"op", kOpAt, 1})) {
        if ((*op)[0] != kBootReply) {
            errors << QStringLiteral("op %1, a reply has %2").arg((*op)[0]).arg(kBootReply);
            ours = false;
        }
    } else {
        ours = false;
    }
    for (const Field& f : kEchoed)
        if (!reader.echoed(f) && f.at == kXidAt)
            ours = false;
    // The printer knows itself by the hardware address; the padding after it does not count.
    const std::size_t macEnd = kChaddrAt + kEthernetAddressLength;
    if (reply.size() < macEnd || request.size() < macEnd ||
        !std::equal(request.begin() + kChaddrAt, request.begin() + macEnd,
                    reply.begin() + kChaddrAt))
        ours = false;

    if (const auto yiaddr = reader.field({"yiaddr", kYiaddrAt, 4})) {
        if (ipAt(*yiaddr, 0) != printerIp)
            errors << QStringLiteral("yiaddr %1, the printer's address is %2")
                          .arg(FormatIpv4(ipAt(*yiaddr, 0)), FormatIpv4(printerIp));
    }
    if (const auto siaddr = reader.field({"siaddr", kSiaddrAt, 4})) {
        const Ipv4 server = ipAt(*siaddr, 0);
        if (IsPlausibleHostAddress(server, printerIp))
            verdict.serverIp = server;
        else
            errors << QStringLiteral("siaddr %1 is no address of a host the printer could reach")
                          .arg(FormatIpv4(server));
    }
    if (const auto file = reader.field({"file", kFileAt, kFileSize}))
        checkFile(request, *file, verdict);

    verdict.accepted = ours && verdict.serverIp.has_value();
    return verdict;
}

} // namespace posflash::sim
