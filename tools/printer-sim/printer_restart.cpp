#include "printer-sim/printer_restart.h"

#include <cstdio>

namespace posflash::sim {

PrinterRestart::PrinterRestart(int afterMs, NetBoot& boot, UdpFrameLine& frames, AppServer& app,
                               QObject* parent)
    : QObject(parent), afterMs_(afterMs), boot_(boot), frames_(frames), app_(app) {
    appTimer_.setSingleShot(true);
    connect(&appTimer_, &QTimer::timeout, this, &PrinterRestart::intoApp);
    connect(&app_, &AppServer::bootCommandEnded, this, &PrinterRestart::intoBootLoader);
}

void PrinterRestart::downloadCompleted() {
    // The restart begins: nothing answers on the boot loader's ports from here on.
    boot_.stop();
    frames_.close();
    if (afterMs_ != kNever)
        appTimer_.start(afterMs_);
}

void PrinterRestart::startRunning() {
    frames_.close();
    listenAsApp();
}

void PrinterRestart::intoApp() {
    if (listenAsApp())
        ++intoApp_;
}

bool PrinterRestart::listenAsApp() {
    if (const Status listening = app_.listen(); !listening) {
        errors_ << listening.error().text;
        return false;
    }
    inApp_ = true;
    say("APP");
    return true;
}

void PrinterRestart::intoBootLoader() {
    if (!inApp_)
        return;
    inApp_ = false;
    app_.stopListening();
    if (const Status bound = frames_.bind(); !bound) {
        errors_ << bound.error().text;
        return;
    }
    ++intoBootLoader_;
    say("BOOT LOADER");
    boot_.start();
}

void PrinterRestart::say(const char* line) {
    std::puts(line);
    std::fflush(stdout);
}

ReportAddition PrinterRestart::report() const {
    return {{{"restarts_into_app", intoApp_}, {"restarts_into_boot_loader", intoBootLoader_}},
            errors_};
}

} // namespace posflash::sim
