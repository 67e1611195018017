// The run modes of the program driver; each returns the process exit code.
#pragma once

int RunDefaultUpdate();
int WriteDiscoveryReport();
int ApplyDiscoveryReport();
int RunDependencyCheck();
