// posflash-cli: the download engine without a window.
#include "cli/terminal_panel.h"
#include "download/download_texts.h"
#include "download/engine.h"
#include "download/image_file.h"
#include "ports/com_port_map.h"
#include "ports/config_paths.h"
#include "ports/ini_store.h"
#include "ports/named_usb_device.h"
#include "ports/usb_inventory_linux.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

using namespace posflash;

namespace {

constexpr int kExitCompleted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: posflash-cli download [--font] [--lang en|zh] --port COMn|DEVICE FILE\n"
    "       posflash-cli download [--font [--via-app]] [--lang en|zh] --net --ip A.B.C.D\n"
    "                             --mac XX-XX-XX-XX-XX-XX FILE\n"
    "       posflash-cli inboot [--lang en|zh] (--port COMn|DEVICE | --net --ip A.B.C.D)\n";

int usage(const QString& why) {
    QTextStream err(stderr);
    if (!why.isEmpty())
        err << "posflash-cli: " << why << "\n";
    err << kUsage;
    return kExitUsage;
}

// Ctrl-C or a TERM signal cancels the download as the cancel button does.
class SignalCancel {
public:
    explicit SignalCancel(std::function<void()> cancel) {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        sigaddset(&set, SIGTERM);
        sigprocmask(SIG_BLOCK, &set, nullptr);
        fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
        if (fd_ < 0)
            return;
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this, cancel] {
            signalfd_siginfo info{};
            while (::read(fd_, &info, sizeof info) == sizeof info) {
            }
            cancel();
        });
    }
    ~SignalCancel() {
        notifier_.reset();
        if (fd_ >= 0)
            ::close(fd_);
    }
    SignalCancel(const SignalCancel&) = delete;
    SignalCancel& operator=(const SignalCancel&) = delete;

private:
    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// Where the printer is, as the command line names it.
struct Target {
    bool network = false;
    QString ip;
    QString mac;
    QString device; // a device node the user named
    int comNumber = 0;
};

std::optional<Target> targetFrom(const QCommandLineParser& args, bool needMac, QString& why) {
    Target target;
    target.network = args.isSet("net");
    if (target.network) {
        if (args.isSet("port")) {
            why = "--net and --port exclude each other";
            return std::nullopt;
        }
        target.ip = args.value("ip");
        target.mac = args.value("mac");
        if (target.ip.isEmpty() || (needMac && target.mac.isEmpty())) {
            why = needMac ? "--net needs --ip and --mac" : "--net needs --ip";
            return std::nullopt;
        }
        if (target.mac.isEmpty())
            target.mac = QStringLiteral("00-00-00-00-00-00"); // not used without BOOTP
        return target;
    }
    const QString port = args.value("port");
    if (port.isEmpty()) {
        why = "--port or --net is required";
        return std::nullopt;
    }
    const QRegularExpression comPattern(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto com = comPattern.match(port);
    if (com.hasMatch()) {
        target.comNumber = com.captured(1).toInt();
        if (target.comNumber > 255) {
            why = "COM numbers run from COM1 to COM255";
            return std::nullopt;
        }
    } else if (QFileInfo::exists(port)) {
        target.device = port;
    } else {
        why = QStringLiteral("no such device: %1").arg(port);
        return std::nullopt;
    }
    return target;
}

// One engine with a terminal panel, aimed at the target.
class Session {
public:
    Session(const Target& target, const QString& lang, QString programFile, QString fontFile)
        : comPorts_(target.device.isEmpty() && !target.network ? ComPortMapPath() : QString()),
          named_(host_, target.device),
          panel_(std::move(programFile), std::move(fontFile), isatty(STDOUT_FILENO)),
          engine_(panel_, settings_, comPorts_,
                  target.device.isEmpty() ? static_cast<const UsbInventory&>(host_) : named_) {
        engine_.faces.setUseEnglish(lang == "en");
        engine_.portModel.setBaudIndex(7); // the line runs at 115200 whatever this says
        if (target.network) {
            panel_.setAddresses(target.ip, target.mac);
            engine_.portModel.optPortSelect_Click(0);
        } else {
            const int number =
                target.device.isEmpty() ? target.comNumber : comPorts_.assign(target.device);
            engine_.portModel.selectComIndex(number - 1);
            engine_.portModel.optPortSelect_Click(1);
        }
    }

    Engine& engine() { return engine_; }
    TerminalPanel& panel() { return panel_; }

private:
    IniStore settings_; // the command-line tool keeps no settings of its own
    ComPortMap comPorts_;
    UdevUsbInventory host_;
    NamedUsbDeviceInventory named_;
    TerminalPanel panel_;
    Engine engine_;
};

int download(const QCommandLineParser& args) {
    const QStringList positional = args.positionalArguments();
    if (positional.size() != 2)
        return usage("download needs exactly one FILE");
    const QString file = positional[1];
    const bool font = args.isSet("font");
    if (args.isSet("via-app") && !(font && args.isSet("net")))
        return usage("--via-app goes with --font --net");
    QString why;
    const auto target = targetFrom(args, true, why);
    if (!target)
        return usage(why);

    Session session(*target, args.value("lang"), file, font ? file : QString());
    Engine& engine = session.engine();
    session.panel().setFontBootDown(!args.isSet("via-app"));
    if (!font && !CheckBinFileValid(file)) {
        session.panel().showTipsBox(texts::fileOpenError(engine.faces), 1);
        return kExitUsage;
    }

    SignalCancel cancel([&engine] { engine.driver.cmdCancel_Click(); });
    if (font)
        engine.driver.btnDownloadFontFile_Click();
    else
        engine.driver.btnDownloadFile_Click();

    switch (engine.driver.lastOutcome()) {
    case DownloadDriver::Outcome::Completed:
        return kExitCompleted;
    case DownloadDriver::Outcome::NotStarted:
        return kExitUsage;
    default:
        return kExitFailed;
    }
}

int inboot(const QCommandLineParser& args) {
    if (args.positionalArguments().size() != 1)
        return usage("inboot takes no FILE");
    QString why;
    const auto target = targetFrom(args, false, why);
    if (!target)
        return usage(why);
    Session session(*target, args.value("lang"), QString(), QString());
    session.engine().appToBoot.cmdAppToBoot_Click();
    return session.engine().appToBoot.commandSent() ? kExitCompleted : kExitFailed;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("posflash-cli");

    QCommandLineParser parser;
    parser.setApplicationDescription("Loads firmware into a receipt printer's boot loader.");
    parser.addHelpOption();
    parser.addPositionalArgument("command", "download or inboot");
    parser.addPositionalArgument("FILE", "the firmware (or, with --font, font) file");
    parser.addOption({"font", "download a font file (1024-byte frames)"});
    parser.addOption({"lang", "language of the texts: en or zh", "lang", "en"});
    parser.addOption({"port", "COM number (COM1..COM255) or device node", "port"});
    parser.addOption({"net", "reach the printer over the network"});
    parser.addOption({"ip", "the printer's IP address", "ip"});
    parser.addOption({"mac", "the printer's MAC address (XX-XX-XX-XX-XX-XX)", "mac"});
    parser.addOption({"via-app", "send a font through the running firmware's TCP connection"});
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet("help")) {
        parser.showHelp(0);
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usage({});
    if (parser.value("lang") != "en" && parser.value("lang") != "zh")
        return usage("--lang is en or zh");
    if (positional[0] == "download")
        return download(parser);
    if (positional[0] == "inboot")
        return inboot(parser);
    return usage(QStringLiteral("unknown command %1").arg(positional[0]));
}
