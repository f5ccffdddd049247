#include "printer-sim/simulator.h"

#include "printer-sim/report.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace posflash::sim {

namespace {

constexpr int kQuietMs = 250;

void printLine(std::FILE* stream, const QString& line) {
    std::fputs(qPrintable(line + QLatin1Char('\n')), stream);
    std::fflush(stream);
}

// A regular file is replaced whole, so a reader never sees half an image. Anything else named
// as the output (/dev/null, a FIFO, a terminal) is written to: a replacing rename would put a
// plain file in its place, and as root that breaks /dev/null for the whole machine.
bool saveFile(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        QFile device(path);
        if (device.open(QIODevice::WriteOnly) && device.write(bytes) == bytes.size())
            return true;
        printLine(stderr, QStringLiteral("posflash-printer-sim: cannot write %1: %2")
                              .arg(path, device.errorString()));
        return false;
    }
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    printLine(
        stderr,
        QStringLiteral("posflash-printer-sim: cannot write %1: %2").arg(path, file.errorString()));
    return false;
}

} // namespace

Simulator::Simulator(Options options, Transport& transport, QObject* parent)
    : QObject(parent), options_(std::move(options)), transport_(transport),
      loader_(options_.faults) {
    quietTimer_.setSingleShot(true);
    quietTimer_.setInterval(kQuietMs);
    connect(&quietTimer_, &QTimer::timeout, this, [this] { loader_.lineWentQuiet(); });
    connect(&transport_, &Transport::received, this, &Simulator::onReceived);
    connect(&transport_, &Transport::failed, this, [this](const QString& why) {
        printLine(stderr, QStringLiteral("posflash-printer-sim: %1").arg(why));
        finish(1);
    });
}

void Simulator::onReceived(const QByteArray& bytes, qint64 atUs) {
    if (finished_)
        return;
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    std::vector<Reply> replies =
        loader_.feed(ByteView(data, static_cast<std::size_t>(bytes.size())), atUs);
    if (transport_.keepsMessageBoundaries() && loader_.awaitingMoreBytes())
        loader_.lineWentQuiet();
    if (loader_.awaitingMoreBytes() && !transport_.holdsIncomingBytes())
        quietTimer_.start();
    else
        quietTimer_.stop();
    // The image is on disk before the tool can see the final frame's acknowledgement.
    if (loader_.stats().completedSessions.size() > sessionsReported_)
        onSessionCompleted();

    for (Reply& reply : replies) {
        auto job = std::make_shared<ReplyJob>();
        job->steps =
            PlanReplyWrites(reply.bytes, options_.faults.thinkMs + reply.lateMs, options_.faults);
        job->reply = std::move(reply);
        runStep(job, 0, 0);
        if (finished_)
            return;
    }
}

// Steps run in order; atMs is how far into the job's schedule we already are.
void Simulator::runStep(const std::shared_ptr<ReplyJob>& job, std::size_t index, int atMs) {
    if (finished_)
        return;
    const WriteStep& step = job->steps[index];
    if (step.afterMs > atMs) {
        QTimer::singleShot(step.afterMs - atMs, Qt::PreciseTimer, this,
                           [this, job, index, at = step.afterMs] { runStep(job, index, at); });
        return;
    }
    const bool last = index + 1 == job->steps.size();
    Transport::Written written;
    if (last)
        written = [this, job](std::int64_t atUs) { onReplyWritten(job->reply, atUs); };
    transport_.send(QByteArray(reinterpret_cast<const char*>(step.bytes.data()),
                               static_cast<qsizetype>(step.bytes.size())),
                    std::move(written));
    if (!last)
        runStep(job, index + 1, atMs);
}

void Simulator::onReplyWritten(const Reply& reply, std::int64_t atUs) {
    loader_.replyWritten(reply, atUs);
    if (reply.completesSession)
        emit downloadCompleted();
    if (reply.completesSession && options_.once) {
        // As a printer that restarts after its download: the line closes once the last reply
        // had time to arrive (a pseudo-terminal's hang-up discards what is still unread).
        QTimer::singleShot(kOnceHangupMs, this, [this] { finish(exitCodeForErrors()); });
        return;
    }
    const auto& disconnectAfter = options_.faults.disconnectAfter;
    if (disconnectAfter && reply.command == kData && reply.frameNo == *disconnectAfter) {
        printLine(stdout, QStringLiteral("DISCONNECT after data frame %1").arg(*disconnectAfter));
        finish(0);
    }
}

void Simulator::onSessionCompleted() {
    const auto& sessions = loader_.stats().completedSessions;
    if (!options_.out.isEmpty()) {
        const Bytes& image = loader_.lastCompletedImage();
        saveFile(options_.out, QByteArray(reinterpret_cast<const char*>(image.data()),
                                          static_cast<qsizetype>(image.size())));
    }
    writeReport();
    for (; sessionsReported_ < sessions.size(); ++sessionsReported_)
        printLine(stdout, SessionSummary(sessions[sessionsReported_], sessionsReported_ + 1,
                                         loader_.errorCount()));
}

int Simulator::exitCodeForErrors() const {
    const bool clean = loader_.errorCount() == 0 && (!addition_ || addition_().errors.isEmpty());
    return clean ? 0 : 1;
}

void Simulator::setReportAddition(std::function<ReportAddition()> addition) {
    addition_ = std::move(addition);
}

void Simulator::writeReport() {
    if (!options_.report.isEmpty())
        saveFile(options_.report, ReportJson(loader_, addition_ ? addition_() : ReportAddition{}));
}

void Simulator::finish(int exitCode) {
    if (finished_)
        return;
    finished_ = true;
    quietTimer_.stop();
    // Whatever is still held will never be completed.
    if (loader_.awaitingMoreBytes())
        loader_.lineWentQuiet();
    writeReport();
    transport_.close();
    emit finished(exitCode);
}

} // namespace posflash::sim
