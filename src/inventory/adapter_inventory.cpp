#include "inventory/adapter_inventory.h"

namespace {

std::vector<AdapterRecord> g_adapters;
uint32_t g_supported_count = 0;
bool g_discovery_completed = false;
int g_current_adapter = 0;

}  // namespace

uint32_t SupportedAdapterCount() {
  return g_supported_count;
}
size_t AdapterListLength() {
  return g_adapters.size();
}
AdapterRecord& AdapterAt(size_t index) {
  return g_adapters.at(index);
}

void AddAdapter(const AdapterRecord& record) {
  g_adapters.push_back(record);
  ++g_supported_count;
}

bool DiscoveryCompleted() {
  return g_discovery_completed;
}
void MarkDiscoveryCompleted() {
  g_discovery_completed = true;
}

void ResetDiscovery() {
  g_adapters.clear();
  g_supported_count = 0;
  g_discovery_completed = false;
}

int CurrentAdapterIndex() {
  return g_current_adapter;
}
void SetCurrentAdapterIndex(int index) {
  g_current_adapter = index;
}
