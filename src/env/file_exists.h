#pragma once

#include <string>

// True when a status query on the path succeeds; a directory of that name counts too.
bool FileExists(const std::string& path);
