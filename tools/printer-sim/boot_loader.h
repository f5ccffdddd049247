#pragma once

#include "printer-sim/faults.h"
#include "printer-sim/frame_reader.h"
#include "printer-sim/wire.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace posflash::sim {

// What the report tells about one download session (start frame to final frame).
struct SessionRecord {
    std::uint8_t kind = 0;
    std::uint32_t imageLength = 0;
    std::uint16_t imageCrc = 0;
    std::optional<bool> crcOk; // known once the end frame has been checked
    bool completed = false;
    std::map<std::uint16_t, int> frameCopies; // data frame number -> copies received
};

struct Stats {
    int startFrames = 0;
    int dataFrames = 0;
    int endFrames = 0;
    int finalFrames = 0;
    int otherFrames = 0;
    int repliesSent = 0;
    std::vector<SessionRecord> completedSessions;
    QStringList errors;
    std::size_t errorsNotListed = 0;
    // Tool time per frame: from a reply's last byte written to the next frame's first byte.
    std::vector<std::int64_t> toolTimeUs;
};

struct Reply {
    Bytes bytes;
    std::uint8_t command = 0;  // of the frame answered
    std::uint16_t frameNo = 0; // of the data frame answered (the bytes may say otherwise)
    bool accepts = false;      // status 4 carrying the true frame number
    bool completesSession = false;
    int lateMs = 0;
    std::uint64_t session = 0;
};

// The boot loader's receiving side as a pure function of the bytes it is fed: it checks
// every frame strictly, keeps the image, and says what to answer. Timing comes in as
// arguments, so tests drive it without a line or a clock.
//
// Bad frames: a data frame that fails a check is answered with status 5 (the tool sends it
// again at once); a start, end or final frame that fails one is not answered (the tool's
// wait times out). Every violation is recorded as an error text.
class BootLoader {
public:
    explicit BootLoader(Faults faults = {});

    std::vector<Reply> feed(ByteView chunk, std::int64_t nowUs);
    // No byte for a while: a partial frame held now was truncated.
    void lineWentQuiet();
    bool awaitingMoreBytes() const { return reader_.holdsBytes(); }
    // The reply's last byte has been handed to the line.
    void replyWritten(const Reply& reply, std::int64_t nowUs);

    const Stats& stats() const { return stats_; }
    const SessionRecord& currentSession() const { return session_.record; }
    const Bytes& lastCompletedImage() const { return completedImage_; }
    std::size_t errorCount() const { return stats_.errors.size() + stats_.errorsNotListed; }

    // Errors beyond this many are counted, not kept: a stream of garbage must not eat memory.
    static constexpr int kErrorListCap = 1000;

private:
    enum class Phase { Idle, Data, Closing, Complete };

    struct Session {
        Phase phase = Phase::Idle;
        std::uint64_t id = 0;
        SessionRecord record;
        int slice = 0;
        std::uint32_t frameCount = 0;
        std::uint16_t lastAccepted = 0;     // data frames 1..lastAccepted are in the image
        std::uint16_t lastAcknowledged = 0; // ... and this many acceptances were written
        bool startAcknowledged = false;
        bool endAcknowledged = false;
        std::uint16_t lastDataSum = 0;
        Bytes image;
    };

    std::optional<Reply> onFrame(const Bytes& frame, std::int64_t firstByteUs);
    std::optional<Reply> onStart(ByteView frame, QStringList& problems);
    std::optional<Reply> onData(ByteView frame, QStringList& problems);
    std::optional<Reply> onEnd(ByteView frame, QStringList& problems);
    std::optional<Reply> onFinal(ByteView frame, QStringList& problems);
    void checkClosingFrame(ByteView frame, QStringList& problems) const;
    Reply makeReply(ByteView frame, std::uint8_t status, bool accepts,
                    std::optional<std::uint16_t> frameNo = std::nullopt) const;
    void handleReaderEvents(const std::vector<ReaderEvent>& events, std::vector<Reply>& replies);
    void addError(const QString& text);

    Faults faults_;
    FrameReader reader_;
    Stats stats_;
    Session session_;
    Bytes completedImage_;
    std::uint64_t framesSeen_ = 0;
    std::uint64_t nextSessionId_ = 1;
    std::optional<std::int64_t> lastReplyEndUs_; // set until the next frame is timed
};

} // namespace posflash::sim
