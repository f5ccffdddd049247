// The download view's texts from a run's events, in each face, off a terminal.
#include "base/faces.h"
#include "cli/download_view.h"
#include "cli/terminal_output.h"
#include "protocol/reply_checker.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace posflash {
namespace {

using Kind = DownloadEvent::Kind;

// Standard output and error as pipes whose texts the test reads back.
struct Captured {
    Captured() {
        for (int* fds : {out, err}) {
            EXPECT_EQ(::pipe2(fds, O_NONBLOCK), 0);
        }
    }
    ~Captured() {
        for (int fd : {out[0], out[1], err[0], err[1]})
            ::close(fd);
    }
    static QString read(int fd) {
        QByteArray all;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            all.append(buffer, n);
        return QString::fromUtf8(all);
    }
    int out[2];
    int err[2];
};

struct Told {
    Kind kind;
    int accepted = 0;
    int attempt = 0;
    qint64 ms = 0;
    const DownloadResult* result = nullptr;
};

TEST(DownloadViewTest, EachFaceSaysTheSameRunInItsOwnWords) {
    DownloadResult failed;
    failed.cause = Cause::PrinterSilent;
    failed.step = step::kDataFrame;
    failed.frame = 2;
    failed.attempts = 3;
    failed.retries = 2;
    failed.framesAccepted = 1;
    failed.frames = 2;
    failed.elapsedMs = 1500;
    DownloadResult completed;
    completed.outcome = Outcome::Completed;
    completed.bytes = 2048;
    completed.crc16 = 0x2C7;
    completed.frames = completed.framesAccepted = 2;
    completed.elapsedMs = 1000;
    // A unit of two attempts: the first silent at frame 2, the second through.
    // clang-format off
    const std::vector<Told> run = {
        {Kind::UnitStarted}, {Kind::Linked, 0, 0, 10}, {Kind::FramesKnown, 0, 0, 20}, {Kind::Retrying, 1, 2, 300},
        {Kind::Finished, 0, 0, 1500, &failed}, {Kind::RetryUnit, 0, 0, 1500, &failed},
        {Kind::FramesKnown, 0, 0, 1600}, {Kind::FrameSent, 1, 1, 1900}, {Kind::Closing, 2, 0, 2000},
        {Kind::Finished, 2, 0, 2500, &completed}, {Kind::UnitFinished, 2, 0, 2500, &completed}};
    const struct { ViewFace face; const char* out; const char* err; } cases[] = {
        {ViewFace::One, "waiting for the link to COM3 (the printer must be in its boot loader)\nlinked to COM3\n  0%  0/2048 B\nno answer to frame 2, resend 1\nretrying the update, attempt 2, after printer-silent\nlinked to COM3\n  0%  0/2048 B\n 50%  1024/2048 B\n100%  2048/2048 B\nsending the closing frames\ncompleted: 2048 bytes in 1.00 s (2.0 KiB/s), CRC-16 0x02C7, printer accepted\n",
         "failed: printer-silent — the printer did not answer frame 2 (sent 3 times)\nwhat to do: check the cable or the network, the printer's power, and that the printer is in its boot loader\n"},
        // Progress at most once a second per printer, the first and the last always.
        {ViewFace::Several, "COM3: waiting for the link\nCOM3: linked\nCOM3:   0%  0/2048 B\nCOM3: no answer to frame 2, resend 1\nCOM3: retrying the update, attempt 2, after printer-silent\nCOM3: linked\nCOM3:   0%  0/2048 B\nCOM3: 100%  2048/2048 B\nCOM3: completed (1.0 s), 2 attempts\n\ntarget  result     seconds  resends  reason\nCOM3    completed  1.0      0\n1 of 1 completed, exit code 0\n", ""},
        {ViewFace::Json, R"json({"event":"start","t":0,"target":"COM3"}
{"event":"linked","t":0.01,"target":"COM3"}
{"accepted":0,"bytes":0,"event":"progress","frames":2,"t":0.02,"target":"COM3"}
{"attempt":2,"cause":"printer-silent","event":"retry","frame":2,"resend":1,"step":"data","t":0.3,"target":"COM3"}
{"attempt":2,"cause":"printer-silent","detail":null,"event":"retry_unit","reason":"the printer did not answer frame 2 (sent 3 times)","t":1.5,"target":"COM3"}
{"accepted":0,"bytes":0,"event":"progress","frames":2,"t":1.6,"target":"COM3"}
{"accepted":1,"bytes":1024,"event":"progress","frames":2,"t":1.9,"target":"COM3"}
{"accepted":2,"bytes":2048,"event":"progress","frames":2,"t":2,"target":"COM3"}
{"accepted":2,"attempts":2,"cause":"none","crc16":711,"detail":null,"event":"done","frames":2,"reason":"","remedy":null,"resends":0,"result":"completed","retries":0,"seconds":1,"t":2.5,"target":"COM3"}
{"cancelled":0,"completed":1,"event":"summary","exit":0,"failed":0,"refused":0,"t":2.5,"targets":1}
)json", ""},
    };
    // clang-format on
    Faces faces;
    faces.setUseEnglish(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.face));
        Captured pipes;
        TerminalOutput out(pipes.out[1]);
        TerminalOutput err(pipes.err[1]);
        ViewStyle style;
        style.face = c.face;
        style.frameBytes = 1024;
        DownloadView view(out, err, faces, {{{3, {}, {}, {}, {}}, "COM3", {}}}, style);
        for (const Told& t : run) {
            DownloadEvent e;
            e.kind = t.kind;
            e.step = step::kDataFrame;
            e.frame = t.accepted + 1;
            e.accepted = t.accepted;
            e.frames = 2;
            e.attempt = t.attempt;
            e.cause = t.kind == Kind::Retrying ? Cause::PrinterSilent : Cause::None;
            e.ms = t.ms;
            e.result = t.result;
            e.unitAttempt = t.kind == Kind::UnitFinished ? 2 : 1;
            e.nextAttempt = 2;
            view.onEvent(e);
        }
        view.finished(0);
        EXPECT_EQ(Captured::read(pipes.out[0]).toStdString(), c.out);
        EXPECT_EQ(Captured::read(pipes.err[0]).toStdString(), c.err);
    }
}

// A terminal's width breaks the summary's reason between words, under its column or, with
// too little room there, under its row.
TEST(DownloadViewTest, TheSummaryNeverBreaksAReasonMidWord) {
    DownloadResult failed;
    failed.cause = Cause::PrinterSilent;
    failed.step = step::kDataFrame;
    failed.attempts = 3;
    failed.framesAccepted = 1;
    failed.elapsedMs = 1500;
    // clang-format off
    const struct { int columns; const char* summary; } cases[] = {
        {60, "COM3    failed  1.5      0        printer-silent — the\n                                  printer did not answer\n"
             "                                  frame 2 (sent 3 times)\nprinter-silent: check the cable or the network, the\n"
             "  printer's power, and that the printer is in its boot\n  loader\n"},
        {50, "COM3    failed  1.5      0\n    printer-silent — the printer did not answer\n    frame 2 (sent 3 times)\n"
             "printer-silent: check the cable or the network,\n  the printer's power, and that the printer is in\n"
             "  its boot loader\n"},
    };
    // clang-format on
    Faces faces;
    faces.setUseEnglish(true);
    for (const auto& c : cases) {
        Captured pipes;
        TerminalOutput out(pipes.out[1]);
        TerminalOutput err(pipes.err[1]);
        ViewStyle style;
        style.columns = c.columns;
        DownloadView view(out, err, faces, {{{3, {}, {}, {}, {}}, "COM3", {}}}, style);
        DownloadEvent e;
        e.kind = Kind::UnitFinished;
        e.result = &failed;
        view.onEvent(e);
        view.finished(1);
        const QString said = Captured::read(pipes.out[0]);
        const qsizetype row = said.indexOf("COM3    failed");
        EXPECT_EQ(said.mid(row, said.indexOf("0 of 1 completed") - row).toStdString(), c.summary);
    }
}

TEST(DownloadViewTest, AStopSaysWhatItCuts) {
    // clang-format off
    const struct { ViewFace face; int count; bool closing; bool transferring; const char* out; const char* err; } cases[] = {
        {ViewFace::One, 1, false, true, "cancelling: a frame in flight finishes its resends; a second Ctrl-C stops at once\n", ""},
        {ViewFace::One, 1, true, true, "finishing the closing frames; a second Ctrl-C stops at once, which may leave a partial image in the printer\n", ""},
        {ViewFace::One, 2, false, true, "", "warning: stopping at once; the printer may hold a partial image\n"},
        // A cancel that ended the frames leaves nothing to stop.
        {ViewFace::One, 2, false, false, "", ""},
        // With several printers (or JSON on standard output) only standard error speaks.
        {ViewFace::Json, 1, false, true, "", ""},
        {ViewFace::Several, 1, true, true, "", "finishing the closing frames; a second Ctrl-C stops at once, which may leave a partial image in the printer\n"},
        {ViewFace::Json, 2, false, true, "", "warning: stopping at once; the printer may hold a partial image\n"},
    };
    // clang-format on
    Faces faces;
    faces.setUseEnglish(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out + std::string(c.err));
        Captured pipes;
        TerminalOutput out(pipes.out[1]);
        TerminalOutput err(pipes.err[1]);
        ViewStyle style;
        style.face = c.face;
        DownloadView view(out, err, faces, {{{3, {}, {}, {}, {}}, "COM3", {}}}, style);
        view.stopSignalled(c.count, c.closing, c.transferring);
        EXPECT_EQ(Captured::read(pipes.out[0]).toStdString(), c.out);
        EXPECT_EQ(Captured::read(pipes.err[0]).toStdString(), c.err);
    }
}

} // namespace
} // namespace posflash
