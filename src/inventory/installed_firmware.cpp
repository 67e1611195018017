#include "inventory/installed_firmware.h"

int ShowInstalledFirmware() { return 0; }
int CheckVersionOnlyReport() { return 0; }
