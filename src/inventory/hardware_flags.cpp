#include "inventory/hardware_flags.h"

void RunHardwareFlagsCheck() {}
