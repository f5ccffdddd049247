// posflash-cli: the download engine without a window.
#include "cli/terminal_panel.h"
#include "download/download_texts.h"
#include "download/engine.h"
#include "download/image_file.h"
#include "ports/com_port_map.h"
#include "ports/config_paths.h"
#include "ports/ini_store.h"
#include "ports/usb_inventory.h"

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

// Until the host inventory is read, no USB printer is reported present.
class NoUsbInventory : public UsbInventory {
public:
    std::optional<std::vector<UsbDeviceEntry>> devices() const override { return std::nullopt; }
};

int usage(const QString& why) {
    QTextStream err(stderr);
    if (!why.isEmpty())
        err << "posflash-cli: " << why << "\n";
    err << "usage: posflash-cli download [--font] [--lang en|zh] --port COMn|DEVICE FILE\n";
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

int download(const QCommandLineParser& args) {
    const QStringList positional = args.positionalArguments();
    if (positional.size() != 2)
        return usage("download needs exactly one FILE");
    const QString file = positional[1];
    const bool font = args.isSet("font");
    const QString lang = args.value("lang");
    if (lang != "en" && lang != "zh")
        return usage("--lang is en or zh");
    const QString port = args.value("port");
    if (port.isEmpty())
        return usage("--port is required");

    IniStore settings; // the command-line tool keeps no settings of its own
    const QRegularExpression comPattern(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                        QRegularExpression::CaseInsensitiveOption);
    const auto com = comPattern.match(port);
    const bool namedDevice = !com.hasMatch();
    ComPortMap comPorts(namedDevice ? QString() : ComPortMapPath());
    int comNumber = 0;
    if (namedDevice) {
        if (!QFileInfo::exists(port))
            return usage(QStringLiteral("no such device: %1").arg(port));
        comNumber = comPorts.assign(port);
    } else {
        comNumber = com.captured(1).toInt();
        if (comNumber < 1 || comNumber > 255)
            return usage("COM numbers run from COM1 to COM255");
    }

    TerminalPanel panel(font ? QString() : file, font ? file : QString(), isatty(STDOUT_FILENO));
    NoUsbInventory inventory;
    Engine engine(panel, settings, comPorts, inventory);
    engine.faces.setUseEnglish(lang == "en");

    if (!font && !CheckBinFileValid(file)) {
        panel.showTipsBox(texts::fileOpenError(engine.faces), 1);
        return kExitUsage;
    }
    if (namedDevice) // the user named the device: it is there when its node is
        engine.link.comPresence = [port] { return QFileInfo::exists(port); };

    engine.portModel.setBaudIndex(7); // the line runs at 115200 whatever this says
    engine.portModel.selectComIndex(comNumber - 1);
    engine.portModel.optPortSelect_Click(1);

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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("posflash-cli");

    QCommandLineParser parser;
    parser.setApplicationDescription("Loads firmware into a receipt printer's boot loader.");
    parser.addHelpOption();
    parser.addPositionalArgument("command", "download");
    parser.addPositionalArgument("FILE", "the firmware (or, with --font, font) file");
    parser.addOption({"font", "download a font file (1024-byte frames)"});
    parser.addOption({"lang", "language of the texts: en or zh", "lang", "en"});
    parser.addOption({"port", "COM number (COM1..COM255) or device node", "port"});
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet("help")) {
        parser.showHelp(0);
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usage({});
    if (positional[0] == "download")
        return download(parser);
    return usage(QStringLiteral("unknown command %1").arg(positional[0]));
}
