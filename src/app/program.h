// The fixed order of one run: start-up, command line, opening lines, one run mode,
// closing lines and the exit code.
#pragma once

#include <string>

#include "inventory/catalog.h"  // kSupportingFileName
#include "inventory/hardware_flags.h"

constexpr const char kProgramTitle[] =
    "Zelt Orla-Series RavAre P3 Online Firmware Upgrade Utility for Windows";
constexpr const char kCopyrightLine[] = "Copyright (C) 2026 Zelt Corporation. All rights reserved.";

int RunProgram(int argc, char** argv);

bool InitializeProgram();
std::string PrepareLogFile();
bool CheckSupportingFile();
// The running executable's file version, "a.b.c.d" ("0.0.0.0" when it carries none).
std::string GetOwnFileVersion();
void ShowBanner();
void LogTimestamp(const char* label);
void LogCommandLine(int argc, char** argv);
// Runs the check (the hardware-flags check unless a test passes another) when the run found
// adapters and -n is off; nothing that escapes it changes the exit code.
void PostRunHardwareFlagsCheck(void (*check)() = RunHardwareFlagsCheck);
