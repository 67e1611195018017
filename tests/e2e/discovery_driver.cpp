// Runs discovery as the utility does and prints the inventory, so end-to-end tests can see
// it without a run mode. Usage: discovery_driver LOG STEP...; steps run in order:
//   discover  DiscoverAdapters, then a line with its result and one line per port
//   reset     ResetDiscovery
//   stale     adds a port "STALE", as a failed discovery may leave one behind
#include <cstdio>
#include <cstring>

#include "inventory/adapter_inventory.h"
#include "inventory/discovery.h"
#include "ui/user_interface.h"

namespace {

void PrintInventory(int32_t code) {
  std::printf("discover %d completed=%d count=%u\n", static_cast<int>(code),
              DiscoveryCompleted() ? 1 : 0, static_cast<unsigned>(SupportedAdapterCount()));
  for (size_t i = 0; i < AdapterListLength(); ++i) {
    AdapterRecord& r = AdapterAt(i);
    std::printf("port %s|%s|%s|%s|%s|%s|", r.device_id.c_str(), r.bdf.c_str(), r.pci_id.c_str(),
                r.macaddress.c_str(), r.product_id.c_str(), r.installed_version.Format());
    std::printf("%s|%s|%u\n", r.available_version.Format(), r.action.c_str(),
                static_cast<unsigned>(r.flags));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  UserInterface ui(argv[1], 80, 25);
  InstallUserInterface(&ui);
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "discover") == 0) {
      PrintInventory(DiscoverAdapters());
    } else if (std::strcmp(argv[i], "reset") == 0) {
      ResetDiscovery();
    } else if (std::strcmp(argv[i], "stale") == 0) {
      AdapterRecord stale;
      stale.device_id = "STALE";
      AddAdapter(stale);
    }
  }
  std::fflush(stdout);
  InstallUserInterface(nullptr);
  return 0;
}
