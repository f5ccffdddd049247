#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace posflash::testing {

// The tool's namespace (this process moves in) joined by veth pairs to the printer's, to a third,
// empty one that its first card and default route lead to, and if asked to a second printer's.
class NetnsPair {
public:
    static constexpr const char* kToolIp = "10.77.0.1";
    static constexpr const char* kPrinterIp = "10.77.0.2";
    static constexpr const char* kStrangerIp = "10.77.0.3";  // a third host, on the tool's side
    static constexpr const char* kOtherCardIp = "10.88.0.1"; // the tool's first network card
    static constexpr const char* kToolIp2 = "10.78.0.1";     // the second printer's side
    static constexpr const char* kPrinterIp2 = "10.78.0.2";

    explicit NetnsPair(bool secondPrinter = false)
        : tool_(QStringLiteral("pf-tool-%1").arg(::getpid())),
          printer_(QStringLiteral("pf-prn-%1").arg(::getpid())),
          elsewhere_(QStringLiteral("pf-far-%1").arg(::getpid())),
          printer2_(secondPrinter ? QStringLiteral("pf-prn2-%1").arg(::getpid()) : QString()) {}
    ~NetnsPair() { tearDown(); }
    NetnsPair(const NetnsPair&) = delete;
    NetnsPair& operator=(const NetnsPair&) = delete;

    // False (with why()) where namespaces cannot be made, e.g. without root.
    bool setUp() {
        if (::geteuid() != 0)
            return fail("needs root for ip netns");
        const QString t = tool_, p = printer_, e = elsewhere_, p2 = printer2_;
        QList<QStringList> steps{
            {"netns", "add", t},
            {"netns", "add", p},
            {"netns", "add", e},
            // Made first, so the host lists it first.
            {"link", "add", "pfcard0", "netns", t, "type", "veth", "peer", "name", "pfcard1",
             "netns", e},
            {"-n", t, "addr", "add", QStringLiteral("%1/24").arg(kOtherCardIp), "dev", "pfcard0"},
            {"-n", t, "link", "set", "pfcard0", "up"},
            {"-n", e, "link", "set", "pfcard1", "up"},
            {"-n", t, "route", "add", "default", "dev", "pfcard0"},
            {"-n", t, "addr", "add", QStringLiteral("%1/32").arg(kStrangerIp), "dev", "lo"},
            {"-n", t, "link", "set", "lo", "up"},
        };
        steps += printerSide(p, "pfveth0", "pfveth1", kToolIp, kPrinterIp);
        if (!p2.isEmpty())
            steps += QList<QStringList>{{"netns", "add", p2}} +
                     printerSide(p2, "pfveth2", "pfveth3", kToolIp2, kPrinterIp2);
        made_ = true;
        for (const QStringList& step : steps)
            if (!ip(step))
                return false;
        home_ = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        const int toolNs =
            ::open(QStringLiteral("/var/run/netns/%1").arg(t).toLocal8Bit(), O_RDONLY | O_CLOEXEC);
        const bool entered = toolNs >= 0 && ::setns(toolNs, CLONE_NEWNET) == 0;
        if (toolNs >= 0)
            ::close(toolNs);
        return entered ? true : fail("setns into the tool's namespace failed");
    }

    void tearDown() {
        if (home_ >= 0) {
            ::setns(home_, CLONE_NEWNET);
            ::close(home_);
            home_ = -1;
        }
        if (made_)
            for (const QString& ns : {tool_, printer_, elsewhere_, printer2_})
                if (!ns.isEmpty())
                    ip({"netns", "del", ns});
        made_ = false;
    }

    // The command that runs a program in the printer's namespace (or the second printer's).
    QStringList printerLauncher(bool second = false) const {
        return {"ip", "netns", "exec", second ? printer2_ : printer_};
    }
    QString why() const { return why_; }

private:
    // A printer's namespace joined to the tool's by a veth pair, each end with its address.
    QList<QStringList> printerSide(const QString& ns, const QString& toolEnd,
                                   const QString& printerEnd, const char* toolIp,
                                   const char* printerIp) const {
        return {
            {"link", "add", toolEnd, "netns", tool_, "type", "veth", "peer", "name", printerEnd,
             "netns", ns},
            {"-n", tool_, "addr", "add", QStringLiteral("%1/24").arg(toolIp), "dev", toolEnd},
            {"-n", ns, "addr", "add", QStringLiteral("%1/24").arg(printerIp), "dev", printerEnd},
            {"-n", ns, "link", "set", "lo", "up"},
            {"-n", tool_, "link", "set", toolEnd, "up"},
            {"-n", ns, "link", "set", printerEnd, "up"},
            // The printer broadcasts before it has an address of the tool's; it needs a route.
            {"-n", ns, "route", "add", "default", "dev", printerEnd}};
    }

    bool ip(const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral("ip"), args);
        if (!p.waitForFinished(10000) || p.exitCode() != 0)
            return fail(QStringLiteral("ip %1: %2")
                            .arg(args.join(' '), QString::fromLocal8Bit(p.readAllStandardError())));
        return true;
    }
    bool fail(const QString& why) {
        why_ = why;
        return false;
    }

    QString tool_;
    QString printer_;
    QString elsewhere_;
    QString printer2_; // empty without a second printer
    QString why_;
    int home_ = -1;
    bool made_ = false;
};

// A test suite's namespaces, made before its first test and removed after its last; where they
// cannot be made, each test is skipped and says why.
template <bool kSecondPrinter = false>
class NetnsSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        net_ = new NetnsPair(kSecondPrinter);
        ready_ = net_->setUp();
    }
    static void TearDownTestSuite() {
        delete net_;
        net_ = nullptr;
    }
    void SetUp() override {
        if (!ready_)
            GTEST_SKIP() << "no network namespaces here: " << net_->why().toStdString();
    }

    static inline NetnsPair* net_ = nullptr;
    static inline bool ready_ = false;
};

} // namespace posflash::testing
