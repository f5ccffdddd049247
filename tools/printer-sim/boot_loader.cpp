#include "printer-sim/boot_loader.h"

#include <algorithm>

namespace posflash::sim {

namespace {

QString hex(unsigned value, int digits) {
    return QString::asprintf("0x%0*X", digits, value);
}

QString hexBytes(ByteView bytes) {
    QStringList parts;
    for (const std::uint8_t b : bytes)
        parts << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

std::optional<int> twoDigits(ByteView frame, std::size_t at) {
    const auto digit = [](std::uint8_t c) { return c >= '0' && c <= '9'; };
    if (!digit(frame[at]) || !digit(frame[at + 1]))
        return std::nullopt;
    return (frame[at] - '0') * 10 + (frame[at + 1] - '0');
}

bool within(std::optional<int> value, int low, int high) {
    return value && *value >= low && *value <= high;
}

bool allZero(ByteView bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0; });
}

// True while `copy` (counting from 1) is among the first copies the fault applies to.
bool hits(const std::map<std::uint16_t, int>& fault, std::uint16_t frameNo, int copy) {
    const auto it = fault.find(frameNo);
    return it != fault.end() && copy <= it->second;
}

QString frameName(ByteView frame) {
    switch (frame[kCommandAt]) {
    case kStart:
        return QStringLiteral("start");
    case kData:
        if (readU16(frame, kLengthAt) >= 2)
            return QStringLiteral("data %1").arg(readU16(frame, kFrameNoAt));
        return QStringLiteral("data");
    case kEnd:
        return QStringLiteral("end");
    case kFinal:
        return QStringLiteral("final");
    default:
        return QStringLiteral("command %1").arg(hex(frame[kCommandAt], 2));
    }
}

} // namespace

BootLoader::BootLoader(Faults faults) : faults_(std::move(faults)) {}

std::vector<Reply> BootLoader::feed(ByteView chunk, std::int64_t nowUs) {
    std::vector<Reply> replies;
    handleReaderEvents(reader_.feed(chunk, nowUs), replies);
    return replies;
}

void BootLoader::lineWentQuiet() {
    std::vector<Reply> none;
    handleReaderEvents(reader_.flush(), none);
}

void BootLoader::handleReaderEvents(const std::vector<ReaderEvent>& events,
                                    std::vector<Reply>& replies) {
    for (const ReaderEvent& event : events) {
        switch (event.type) {
        case ReaderEvent::Type::Frame:
            if (auto reply = onFrame(event.frame, event.firstByteUs))
                replies.push_back(std::move(*reply));
            break;
        case ReaderEvent::Type::Skipped:
            addError(QStringLiteral("%1 bytes outside any frame skipped (no 1F 1B 1C 06 prefix)")
                         .arg(event.count));
            break;
        case ReaderEvent::Type::Oversize:
            addError(QStringLiteral("header announces Length %1, more than any frame (%2); "
                                    "resynchronising")
                         .arg(event.count)
                         .arg(kLongestLength));
            break;
        case ReaderEvent::Type::Truncated:
            addError(QStringLiteral("frame cut short after %1 bytes, then the line went quiet")
                         .arg(event.count));
            break;
        }
    }
}

void BootLoader::addError(const QString& text) {
    if (stats_.errors.size() < kErrorListCap)
        stats_.errors << text;
    else
        ++stats_.errorsNotListed;
}

std::optional<Reply> BootLoader::onFrame(const Bytes& bytes, std::int64_t firstByteUs) {
    ++framesSeen_;
    if (lastReplyEndUs_ && firstByteUs >= *lastReplyEndUs_) {
        stats_.toolTimeUs.push_back(firstByteUs - *lastReplyEndUs_);
        lastReplyEndUs_.reset();
    }

    const ByteView frame(bytes);
    QStringList problems;
    if (frame[kStatusAt] != kToolStatus)
        problems << QStringLiteral("status byte %1, the tool sends %2")
                        .arg(hex(frame[kStatusAt], 2), hex(kToolStatus, 2));
    if (sliceOf(frame[kKindAt]) == 0)
        problems << QStringLiteral("kind %1 is neither program (0x80) nor font (0x81)")
                        .arg(hex(frame[kKindAt], 2));

    std::optional<Reply> reply;
    switch (frame[kCommandAt]) {
    case kStart:
        reply = onStart(frame, problems);
        break;
    case kData:
        reply = onData(frame, problems);
        break;
    case kEnd:
        reply = onEnd(frame, problems);
        break;
    case kFinal:
        reply = onFinal(frame, problems);
        break;
    default:
        ++stats_.otherFrames;
        problems << QStringLiteral("unknown command; not answered");
    }

    const QString context =
        QStringLiteral("frame #%1 (%2): ").arg(framesSeen_).arg(frameName(frame));
    for (const QString& problem : problems)
        addError(context + problem);
    return reply;
}

Reply BootLoader::makeReply(ByteView frame, std::uint8_t status, bool accepts,
                            std::optional<std::uint16_t> frameNo) const {
    Reply reply;
    reply.bytes = BuildReply(status, frame[kKindAt], frame[kCommandAt], frameNo);
    reply.command = frame[kCommandAt];
    reply.frameNo = frameNo.value_or(0);
    reply.accepts = accepts;
    reply.session = session_.id;
    return reply;
}

std::optional<Reply> BootLoader::onStart(ByteView frame, QStringList& problems) {
    ++stats_.startFrames;
    const std::size_t length = readU16(frame, kLengthAt);
    if (readU16(frame, kFrameSumAt) != 0)
        problems << QStringLiteral("FrameSum %1, a start frame carries 0")
                        .arg(hex(readU16(frame, kFrameSumAt), 4));
    if (length != kStartLength)
        problems << QStringLiteral("Length %1, a start frame has %2").arg(length).arg(kStartLength);

    const int slice = sliceOf(frame[kKindAt]);
    std::uint32_t imageLength = 0;
    if (length == kStartLength) {
        imageLength = readU32(frame, kImageLengthAt);
        if (imageLength == 0)
            problems << QStringLiteral("ImageLength 0: there is nothing to download");
        else if (slice != 0 && imageLength > kMaxDataFrames * static_cast<std::uint32_t>(slice))
            problems << QStringLiteral("ImageLength %1 needs more than %2 data frames")
                            .arg(imageLength)
                            .arg(kMaxDataFrames);
        if (!allZero(frame.subspan(kImageCrcAt + 2, kStartDateAt - kImageCrcAt - 2)))
            problems << QStringLiteral("bytes 17 to 26 must be zero: %1")
                            .arg(hexBytes(frame.subspan(17, 10)));
        if (!allZero(frame.subspan(kStartTimeAt + 6, kPcCodeAt - kStartTimeAt - 6)))
            problems << QStringLiteral("bytes 39 to 42 must be zero: %1")
                            .arg(hexBytes(frame.subspan(39, 4)));
        const std::size_t d = kStartDateAt;
        const std::size_t t = kStartTimeAt;
        if (!within(twoDigits(frame, d), 0, 99) || !within(twoDigits(frame, d + 2), 1, 12) ||
            !within(twoDigits(frame, d + 4), 1, 31))
            problems << QStringLiteral("StartDate is not a plausible yymmdd: %1")
                            .arg(hexBytes(frame.subspan(d, 6)));
        if (!within(twoDigits(frame, t), 0, 23) || !within(twoDigits(frame, t + 2), 0, 59) ||
            !within(twoDigits(frame, t + 4), 0, 59))
            problems << QStringLiteral("StartTime is not a plausible hhmmss: %1")
                            .arg(hexBytes(frame.subspan(t, 6)));
        const ByteView pcCode = frame.subspan(kPcCodeAt, kPcCodeSize);
        const auto zeros = std::count(pcCode.begin(), pcCode.end(), std::uint8_t{0});
        if (zeros > 0)
            problems << QStringLiteral("PcCode holds %1 zero bytes, first at offset %2")
                            .arg(zeros)
                            .arg(kPcCodeAt +
                                 static_cast<std::size_t>(
                                     std::find(pcCode.begin(), pcCode.end(), 0) - pcCode.begin()));
    }

    // Whatever happens, the old session is over: the tool has started again.
    session_ = Session{};
    if (!problems.isEmpty())
        return std::nullopt;

    session_.id = nextSessionId_++;
    if (faults_.sessions && session_.id > static_cast<std::uint64_t>(*faults_.sessions)) {
        faults_.silent = false;
        faults_.refuse.clear();
        faults_.lateMs.clear();
        faults_.wrongNo.clear();
        faults_.drop.clear();
    }
    session_.phase = Phase::Data;
    session_.slice = slice;
    session_.frameCount =
        (imageLength + static_cast<std::uint32_t>(slice) - 1) / static_cast<std::uint32_t>(slice);
    session_.record.kind = frame[kKindAt];
    session_.record.imageLength = imageLength;
    session_.record.imageCrc = readU16(frame, kImageCrcAt);
    if (faults_.silent)
        return std::nullopt;
    return makeReply(frame, kAccepted, true);
}

std::optional<Reply> BootLoader::onData(ByteView frame, QStringList& problems) {
    ++stats_.dataFrames;
    const std::size_t length = readU16(frame, kLengthAt);
    std::optional<std::uint16_t> frameNo;
    if (length >= 2) {
        frameNo = readU16(frame, kFrameNoAt);
        ++session_.record.frameCopies[*frameNo];
    }

    if (length <= kDataFieldsLength)
        problems << QStringLiteral("Length %1 leaves no data bytes (Length is n + 6, n >= 1)")
                        .arg(length);
    if (session_.phase == Phase::Idle)
        problems << QStringLiteral("no start frame accepted before it");
    else if (session_.phase != Phase::Data)
        problems << QStringLiteral("data frame after the end frame");
    else if (frame[kKindAt] != session_.record.kind)
        problems << QStringLiteral("kind %1 differs from the session's %2")
                        .arg(hex(frame[kKindAt], 2), hex(session_.record.kind, 2));

    Session& s = session_;
    bool repeat = false;
    std::uint16_t frameSum = 0;
    if (length > kDataFieldsLength && s.phase == Phase::Data) {
        const std::uint16_t no = *frameNo;
        const std::size_t n = length - kDataFieldsLength;
        const ByteView data = frame.subspan(kDataAt, n);
        const std::uint64_t offset = readU32(frame, kDataOffsetAt);
        const std::uint64_t slice = static_cast<std::uint64_t>(s.slice);
        repeat = no != 0 && no == s.lastAccepted;
        frameSum = static_cast<std::uint16_t>(ByteSum(data) & 0xFFFF);

        if (!repeat && no != s.lastAccepted + 1) {
            QString expected = QString::number(s.lastAccepted + 1);
            if (s.lastAccepted > 0)
                expected += QStringLiteral(" (or %1 again)").arg(s.lastAccepted);
            problems
                << QStringLiteral("FrameNo %1 out of order, expected %2").arg(no).arg(expected);
        } else if (no > s.frameCount) {
            problems << QStringLiteral("FrameNo %1 beyond the %2 frames of a %3-byte image")
                            .arg(no)
                            .arg(s.frameCount)
                            .arg(s.record.imageLength);
        } else {
            const std::uint64_t expectedOffset = (no - 1u) * slice;
            const std::uint64_t expectedSize =
                no < s.frameCount ? slice : s.record.imageLength - expectedOffset;
            if (offset != expectedOffset)
                problems
                    << QStringLiteral("DataOffset %1, expected %2").arg(offset).arg(expectedOffset);
            if (n != expectedSize)
                problems << QStringLiteral("%1 data bytes, expected %2").arg(n).arg(expectedSize);
            if (readU16(frame, kFrameSumAt) != frameSum)
                problems << QStringLiteral("FrameSum %1, but its data bytes sum to %2")
                                .arg(hex(readU16(frame, kFrameSumAt), 4), hex(frameSum, 4));
            const bool acknowledged = no == 1 ? s.startAcknowledged : s.lastAcknowledged >= no - 1;
            if (!repeat && !acknowledged)
                problems << QStringLiteral("sent before %1 was acknowledged")
                                .arg(no == 1 ? QStringLiteral("the start frame")
                                             : QStringLiteral("data frame %1").arg(no - 1));
            if (repeat && problems.isEmpty() && offset + n <= s.image.size() &&
                !std::equal(data.begin(), data.end(),
                            s.image.begin() + static_cast<std::ptrdiff_t>(offset)))
                problems << QStringLiteral("a repeat of frame %1 with different data").arg(no);
        }
    }

    const auto answer = [&](std::uint8_t status, bool accepts, std::uint16_t carriedNo) {
        Reply reply = makeReply(frame, status, accepts, carriedNo);
        reply.frameNo = frameNo.value_or(0);
        if (const auto late = faults_.lateMs.find(reply.frameNo); late != faults_.lateMs.end())
            reply.lateMs = late->second;
        return reply;
    };
    if (faults_.silent)
        return std::nullopt;
    if (!problems.isEmpty())
        return answer(kRefused, false, frameNo.value_or(0));

    const std::uint16_t no = *frameNo;
    const int copy = s.record.frameCopies[no];
    if (hits(faults_.drop, no, copy))
        return std::nullopt;
    if (const auto refusal = faults_.refuse.find(no);
        refusal != faults_.refuse.end() && copy <= refusal->second.copies)
        return answer(refusal->second.status, false, no);
    if (hits(faults_.wrongNo, no, copy))
        return answer(kAccepted, false, static_cast<std::uint16_t>(no - 1));

    if (!repeat) {
        const std::size_t offset = readU32(frame, kDataOffsetAt);
        const ByteView data = frame.subspan(kDataAt, length - kDataFieldsLength);
        s.image.resize(std::max(s.image.size(), offset + data.size()));
        std::copy(data.begin(), data.end(), s.image.begin() + static_cast<std::ptrdiff_t>(offset));
        s.lastAccepted = no;
        s.lastDataSum = frameSum;
    }
    return answer(kAccepted, true, no);
}

void BootLoader::checkClosingFrame(ByteView frame, QStringList& problems) const {
    if (readU16(frame, kLengthAt) != 0)
        problems << QStringLiteral("Length %1, end and final frames have 0")
                        .arg(readU16(frame, kLengthAt));
    if (session_.phase == Phase::Idle)
        return;
    if (frame[kKindAt] != session_.record.kind)
        problems << QStringLiteral("kind %1 differs from the session's %2")
                        .arg(hex(frame[kKindAt], 2), hex(session_.record.kind, 2));
    if (readU16(frame, kFrameSumAt) != session_.lastDataSum)
        problems << QStringLiteral("FrameSum %1, expected %2 as in the last data frame")
                        .arg(hex(readU16(frame, kFrameSumAt), 4), hex(session_.lastDataSum, 4));
}

std::optional<Reply> BootLoader::onEnd(ByteView frame, QStringList& problems) {
    ++stats_.endFrames;
    checkClosingFrame(frame, problems);
    Session& s = session_;
    switch (s.phase) {
    case Phase::Idle:
        problems << QStringLiteral("no start frame accepted before it");
        break;
    case Phase::Complete:
        problems << QStringLiteral("end frame after the final frame");
        break;
    case Phase::Closing: // a repeat: answer it again
        break;
    case Phase::Data: {
        if (s.lastAccepted < s.frameCount) {
            problems << QStringLiteral("end frame after %1 of %2 data frames")
                            .arg(s.lastAccepted)
                            .arg(s.frameCount);
            break;
        }
        if (s.lastAcknowledged < s.frameCount)
            problems
                << QStringLiteral("sent before data frame %1 was acknowledged").arg(s.frameCount);
        const std::uint16_t crc = Crc16Xmodem(s.image);
        s.record.crcOk = s.image.size() == s.record.imageLength && crc == s.record.imageCrc;
        if (s.image.size() != s.record.imageLength)
            problems << QStringLiteral("received %1 image bytes, the start frame announced %2")
                            .arg(s.image.size())
                            .arg(s.record.imageLength);
        if (crc != s.record.imageCrc)
            problems << QStringLiteral("image CRC-16 %1, the start frame announced %2")
                            .arg(hex(crc, 4), hex(s.record.imageCrc, 4));
        break;
    }
    }
    if (!problems.isEmpty())
        return std::nullopt;
    s.phase = Phase::Closing;
    if (faults_.silent)
        return std::nullopt;
    return makeReply(frame, kAccepted, true);
}

std::optional<Reply> BootLoader::onFinal(ByteView frame, QStringList& problems) {
    ++stats_.finalFrames;
    checkClosingFrame(frame, problems);
    Session& s = session_;
    if (s.phase == Phase::Idle)
        problems << QStringLiteral("no start frame accepted before it");
    else if (s.phase == Phase::Data)
        problems << QStringLiteral("final frame before the end frame");
    else if (s.phase == Phase::Closing && !s.endAcknowledged)
        problems << QStringLiteral("sent before the end frame was acknowledged");
    if (!problems.isEmpty())
        return std::nullopt;

    Reply reply = makeReply(frame, kAccepted, true);
    if (s.phase == Phase::Closing) {
        s.phase = Phase::Complete;
        s.record.completed = true;
        stats_.completedSessions.push_back(s.record);
        completedImage_ = s.image;
        reply.completesSession = true;
    }
    if (faults_.silent)
        return std::nullopt;
    return reply;
}

void BootLoader::replyWritten(const Reply& reply, std::int64_t nowUs) {
    ++stats_.repliesSent;
    lastReplyEndUs_ = nowUs;
    if (!reply.accepts || reply.session != session_.id)
        return;
    switch (reply.command) {
    case kStart:
        session_.startAcknowledged = true;
        break;
    case kData:
        session_.lastAcknowledged = std::max(session_.lastAcknowledged, reply.frameNo);
        break;
    case kEnd:
        session_.endAcknowledged = true;
        break;
    default:
        break;
    }
}

} // namespace posflash::sim
