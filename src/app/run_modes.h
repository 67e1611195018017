// The run modes of the program driver; each returns the process exit code.
#pragma once

int RunDefaultUpdate();
int WriteDiscoveryReport();
int ApplyDiscoveryReport();
int RunDependencyCheck();

// The gate of the update and report modes: -1 to stop, else the supported-port count.
int CheckUpdateDependencies();
// Asks about every port; 3 when the user quit, else 0.
int SelectionPhase(int adapter_count);
// Flashes every selected port.
void ApplyPhase(int adapter_count);
// Turns the outcome bits into the closing message and the exit code.
int ReportOutcome();
