#pragma once

#include <QStringList>

#include <memory>

namespace posflash {

class Engine;
class SharedBootPorts;

// The process's BOOTP port (67) and link port (69) for every network printer of a run, a
// multi-download's or a production line's: bound once, before any of their engines starts; a
// refusal reaches each printer as its link's failure (bind-refused).
class FleetBootPorts {
public:
    FleetBootPorts();
    ~FleetBootPorts();
    FleetBootPorts(const FleetBootPorts&) = delete;
    FleetBootPorts& operator=(const FleetBootPorts&) = delete;

    // Binds both ports for printers at these addresses (through the bind helper: on the
    // interface the first one that any interface leads to is reached through); a second call
    // keeps the first binding.
    void bind(const QStringList& printerIps);
    // The engine's network printer uses the binding; nothing happens before bind().
    void share(Engine& engine) const;

private:
    std::unique_ptr<SharedBootPorts> ports_;
};

} // namespace posflash
