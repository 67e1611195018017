#include "app/run_modes.h"

// The update, report and dependency modes arrive with the updater; until then they end at once.
int RunDefaultUpdate() { return 0; }
int WriteDiscoveryReport() { return 0; }
int ApplyDiscoveryReport() { return 0; }
int RunDependencyCheck() { return 0; }
