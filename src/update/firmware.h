#pragma once

// Creates the process-wide list of updaters (one for the supported adapter family).
void CreateUpdaterList();
