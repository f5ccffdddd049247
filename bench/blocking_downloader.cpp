// The simplest downloader there can be, for the benchmark only: open the serial line, discard
// pending input, write a frame, block in read() until the reply is in, judge it, write the next
// frame. No event loop, no timers, no retries beyond resending a refused data frame. It sets the
// floor the tool's time per frame is compared with. Usage: blocking_downloader TTY IMAGE
#include "protocol/frames.h"
#include "protocol/pc_code.h"
#include "protocol/reply_checker.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace posflash;

bool writeAll(int fd, const Bytes& frame) {
    std::size_t done = 0;
    while (done < frame.size()) {
        const ssize_t n = ::write(fd, frame.data() + done, frame.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A reply is the 11-byte header and Length bytes more (the frame number of a data frame's
// reply, 13 bytes in all). One read() normally brings all of it.
bool readReply(int fd, Bytes& reply) {
    reply.resize(64);
    std::size_t done = 0;
    std::size_t want = frame::kHeaderSize;
    while (done < want) {
        const ssize_t n = ::read(fd, reply.data() + done, reply.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
        if (done >= frame::kHeaderSize)
            want =
                frame::kHeaderSize + (reply[frame::kLengthAt] | reply[frame::kLengthAt + 1] << 8);
        if (want > reply.size())
            return false;
    }
    reply.resize(done);
    return true;
}

// Sends the frame until the printer accepts it; false when the line fails or the printer
// answers something that is neither an acceptance nor a refusal.
bool exchange(int fd, const Bytes& frame, short step, short frameNo) {
    Bytes reply;
    for (;;) {
        // Nothing left over from an earlier frame may count as this one's reply: the tool
        // discards pending input before every send, and so does the floor it is held to.
        ::tcflush(fd, TCIFLUSH);
        if (!writeAll(fd, frame) || !readReply(fd, reply))
            return false;
        const ReplyVerdict verdict = JudgeReply(step, frameNo, reply);
        if (verdict == ReplyVerdict::Accepted)
            return true;
        if (verdict == ReplyVerdict::None)
            return false;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TTY IMAGE\n", argv[0]);
        return 2;
    }
    std::ifstream file(argv[2], std::ios::binary);
    const Bytes image{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (image.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &raw);

    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char date[8];
    char time[8];
    std::strftime(date, sizeof date, "%y%m%d", &local);
    std::strftime(time, sizeof time, "%H%M%S", &local);

    const ImageKind kind = ImageKind::Program;
    const int slice = kProgramFrameDataSize;
    const std::size_t frames = DataFrameCount(image.size(), slice);
    bool ok = exchange(fd, BuildStartFrame(kind, image, date, time, GetPcCodeData(TimeOfDaySeed())),
                       step::kStartFrame, 0);
    std::uint16_t lastSum = 0;
    for (std::size_t i = 1; ok && i <= frames; ++i) {
        const Bytes frame = BuildDataFrame(kind, image, i, slice);
        lastSum = FrameSumOf(frame);
        ok = exchange(fd, frame, step::kDataFrame, static_cast<short>(i));
    }
    ok = ok && exchange(fd, BuildClosingFrame(kind, Command::End, lastSum), step::kEndFrame, 0) &&
         exchange(fd, BuildClosingFrame(kind, Command::Final, lastSum), step::kFinalFrame, 0);
    ::close(fd);
    std::fprintf(stderr, "%s\n", ok ? "complete" : "failed");
    return ok ? 0 : 1;
}
