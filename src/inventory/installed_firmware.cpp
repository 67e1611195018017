#include "inventory/installed_firmware.h"

int ShowInstalledFirmware() { return 0; }
int CheckVersionOnlyReport() { return 0; }
void WriteVersionOnlyReport(const std::string&, const std::string&, const std::string&) {}
