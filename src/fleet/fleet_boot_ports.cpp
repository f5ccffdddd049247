#include "fleet/fleet_boot_ports.h"

#include "engine/engine.h"
#include "link/host_network.h"
#include "link/network_boot.h"
#include "link/shared_boot_ports.h"

namespace posflash {

FleetBootPorts::FleetBootPorts() = default;

FleetBootPorts::~FleetBootPorts() = default;

void FleetBootPorts::bind(const QStringList& printerIps) {
    if (ports_)
        return;
    QString interfaceName;
    for (const QString& ip : printerIps)
        if (interfaceName.isEmpty())
            interfaceName = InterfaceTowards(ip);
    ports_ = std::make_unique<SharedBootPorts>();
    ports_->bind(NetworkBoot::kBootpServerPort, NetworkBoot::kLinkPort, interfaceName);
}

void FleetBootPorts::share(Engine& engine) const {
    if (ports_)
        engine.shareBootPorts(ports_.get());
}

} // namespace posflash
