// Generated documents in the shapes the utility reads.
#pragma once

#include <string>

namespace bench {

// A discovery report (root zelt_rom_discovery) listing the given number of ports.
std::string DiscoveryReport(int ports);

// A firmware package catalog (root nic_fw_package) with the given number of models.
std::string Catalog(int models);

}  // namespace bench
