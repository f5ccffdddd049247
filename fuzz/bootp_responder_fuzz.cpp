// BOOTP requests as they arrive on UDP port 67 from anyone on the network, answered by the
// tool; and, the other way round, replies as the simulated printer reads them on port 68.
// Input: the boot file name's length (1 byte), then the request.

#include "fuzz_support.h"

#include "printer-sim/bootp.h"
#include "protocol/bootp_responder.h"
#include "protocol/frames.h"

#include <algorithm>

using namespace posflash;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    BootpConfig config;
    config.printerIp = {192, 168, 123, 100};
    config.printerMac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    config.hostIp = {192, 168, 123, 1};
    // Up to a little more than the file field holds, which must be refused.
    const QByteArray path("printer_firmware_v1.2_" + QByteArray(200, 'x'));
    config.bootFileName = path.first(data[0] % (bootp::kFileSize + 8));
    const ByteView request(data + 1, size - 1);

    FUZZ_CHECK(!AnswerBootpRequest(request, config, 1)); // only the link step answers
    const auto answer = AnswerBootpRequest(request, config, 0);
    if (answer) {
        const Bytes& reply = *answer;
        // The request was the printer's own ...
        FUZZ_CHECK(HasFramePrefix(request) && request[bootp::kOpAt] == 1);
        FUZZ_CHECK(std::equal(config.printerMac.begin(), config.printerMac.end(),
                              request.begin() + bootp::kChaddrAt));
        FUZZ_CHECK(BytesToString(request.subspan(bootp::kSnameAt, bootp::kSnameSize)) ==
                   QByteArray(bootp::kBrandWord));
        FUZZ_CHECK(config.bootFileName.size() <= static_cast<qsizetype>(bootp::kFileSize));
        // ... and the reply is that request with op, yiaddr, siaddr and the file name changed.
        FUZZ_CHECK(reply.size() == request.size());
        Bytes expected(request.begin(), request.end());
        expected[bootp::kOpAt] = 2;
        std::copy(config.printerIp.begin(), config.printerIp.end(),
                  expected.begin() + bootp::kYiaddrAt);
        std::copy(config.hostIp.begin(), config.hostIp.end(), expected.begin() + bootp::kSiaddrAt);
        std::copy(config.bootFileName.begin(), config.bootFileName.end(),
                  expected.begin() + bootp::kFileAt);
        FUZZ_CHECK(reply == expected);

        // The simulated printer takes it as its answer and learns where the host is.
        const sim::BootpVerdict verdict =
            sim::CheckBootpReply(request, reply, sim::Ipv4{192, 168, 123, 100});
        FUZZ_CHECK(verdict.accepted);
        FUZZ_CHECK(verdict.serverIp == sim::Ipv4({192, 168, 123, 1}));
    }

    // The printer's side reads any datagram against a request it sent.
    sim::BootpRequest sent;
    sent.mac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    sent.xid = 0x12345678;
    const Bytes ownRequest = sim::BuildBootpRequest(sent);
    const sim::BootpVerdict verdict =
        sim::CheckBootpReply(ownRequest, request, sim::Ipv4{192, 168, 123, 100});
    FUZZ_CHECK(!verdict.accepted || (request.size() > bootp::kOpAt && request[bootp::kOpAt] == 2));
    return 0;
}
