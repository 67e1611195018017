// What the Windows host's files share: narrow paths in their wide form, and the last error.
#pragma once

#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace platform {

// A path of the narrow API in its wide form, as the narrow calls themselves convert it.
std::wstring WidePath(const std::string& path);

// The calling thread's last error as the host's error number.
inline SystemError LastError() {
  return SystemError{static_cast<int>(GetLastError())};
}

}  // namespace platform
