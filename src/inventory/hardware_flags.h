#pragma once

// After a run that found adapters: disables the iPE/dPE setting of ports at 4.0.555.
void RunHardwareFlagsCheck();
