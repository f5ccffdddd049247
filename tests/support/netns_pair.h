#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace posflash::testing {

// Two network namespaces joined by a veth pair: the tool's (this process moves into it) and
// the printer's. The tool's side is a PC with two network cards: before the printer's comes
// another one, into a third, empty namespace, and the default route leaves through it. Asked
// for, a second printer gets a namespace of its own behind a third card of the tool's, on
// another network. Made and removed by the test; nothing leaves them.
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
            {"link", "add", "pfveth0", "netns", t, "type", "veth", "peer", "name", "pfveth1",
             "netns", p},
            {"-n", t, "addr", "add", QStringLiteral("%1/24").arg(kToolIp), "dev", "pfveth0"},
            {"-n", t, "addr", "add", QStringLiteral("%1/32").arg(kStrangerIp), "dev", "lo"},
            {"-n", p, "addr", "add", QStringLiteral("%1/24").arg(kPrinterIp), "dev", "pfveth1"},
            {"-n", t, "link", "set", "lo", "up"},
            {"-n", p, "link", "set", "lo", "up"},
            {"-n", t, "link", "set", "pfveth0", "up"},
            {"-n", p, "link", "set", "pfveth1", "up"},
            // The printer broadcasts before it has an address of the tool's; it needs a route.
            {"-n", p, "route", "add", "default", "dev", "pfveth1"},
        };
        if (!p2.isEmpty())
            steps += QList<QStringList>{
                {"netns", "add", p2},
                {"link", "add", "pfveth2", "netns", t, "type", "veth", "peer", "name", "pfveth3",
                 "netns", p2},
                {"-n", t, "addr", "add", QStringLiteral("%1/24").arg(kToolIp2), "dev", "pfveth2"},
                {"-n", p2, "addr", "add", QStringLiteral("%1/24").arg(kPrinterIp2), "dev",
                 "pfveth3"},
                {"-n", p2, "link", "set", "lo", "up"},
                {"-n", t, "link", "set", "pfveth2", "up"},
                {"-n", p2, "link", "set", "pfveth3", "up"},
                {"-n", p2, "route", "add", "default", "dev", "pfveth3"},
            };
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
        if (made_) {
            ip({"netns", "del", tool_});
            ip({"netns", "del", printer_});
            ip({"netns", "del", elsewhere_});
            if (!printer2_.isEmpty())
                ip({"netns", "del", printer2_});
            made_ = false;
        }
    }

    // The command that runs a program in the printer's namespace (or the second printer's).
    QStringList printerLauncher(bool second = false) const {
        return {"ip", "netns", "exec", second ? printer2_ : printer_};
    }
    QString why() const { return why_; }

private:
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

// A test suite whose tests share one pair of namespaces (with a second printer's if asked),
// made before the first test and removed after the last; where they cannot be made, each test
// is skipped and says why.
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
