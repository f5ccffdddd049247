#pragma once

#include "support/printer_sim_process.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace posflash::testing {

// A test's simulated printers, each in a folder of its own, stopped when the test ends.
class PrinterSims {
public:
    // One more printer, not yet started; a launcher ("ip netns exec NS") puts it elsewhere.
    PrinterSimProcess& add(const QStringList& launcher = {}) {
        dirs_.push_back(std::make_unique<QTemporaryDir>());
        sims_.push_back(std::make_unique<PrinterSimProcess>(*dirs_.back(), launcher));
        return *sims_.back();
    }
    // A boot loader on a pseudo-terminal with these faults.
    PrinterSimProcess& serial(const QStringList& faults = {}) {
        PrinterSimProcess& sim = add();
        EXPECT_TRUE(sim.start(faults));
        return sim;
    }
    PrinterSimProcess& operator[](std::size_t i) { return *sims_.at(i); }
    PrinterSimProcess& back() { return *sims_.back(); }

private:
    std::vector<std::unique_ptr<QTemporaryDir>> dirs_; // first: outlives the printers in it
    std::vector<std::unique_ptr<PrinterSimProcess>> sims_;
};

} // namespace posflash::testing
