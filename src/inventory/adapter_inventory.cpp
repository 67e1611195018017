#include "inventory/adapter_inventory.h"

uint32_t SupportedAdapterCount() { return 0; }
