// Refuses to go on while the vendor flash tool runs, and clears a lock file that nobody
// holds any more. The utility never creates the lock file itself.
#pragma once

#include <string>

#include "ui/user_interface.h"

constexpr const char kLockFileName[] = "ravare_lock_file";

// Full path of the lock file in the temporary directory, or "" when there is none.
std::string LockFilePath();

// True when the program may go on.
bool VerifyInstance(UserInterface& ui);
