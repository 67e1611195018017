// Process safety on Windows: console interrupts, links and the instance lock.
#include <windows.h>

#include "platform/platform.h"

namespace platform {
namespace {

// Set by the console handler, which Windows runs on a thread of its own.
volatile LONG interrupted = 0;
// Signalled together with the flag, for a read that failed a moment before it was set.
HANDLE interrupt_event = nullptr;

// How long a failed console read waits for the handler's thread to note the interrupt.
constexpr DWORD kHandlerGraceMs = 500;

BOOL WINAPI NoteInterrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  InterlockedExchange(&interrupted, 1);
  if (interrupt_event) SetEvent(interrupt_event);
  // The process ends as soon as the handler of a closed console returns: keep it waiting, so
  // that the main thread can see the running flash to its end and write the closing lines
  // for as long as Windows grants.
  if (event == CTRL_CLOSE_EVENT) Sleep(INFINITE);
  return TRUE;
}

}  // namespace

void GuardStandardStreams() {}

void CatchInterrupts() {
  interrupt_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(NoteInterrupt, TRUE);
}

bool InterruptRequested() {
  return InterlockedCompareExchange(&interrupted, 0, 0) != 0;
}

bool ReadWasInterrupted() {
  if (InterruptRequested()) return true;
  // Ctrl-C ends a console read at once, while its handler starts on another thread.
  DWORD mode = 0;
  if (!interrupt_event || !GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return false;
  return WaitForSingleObject(interrupt_event, kHandlerGraceMs) == WAIT_OBJECT_0;
}

bool IsLink(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

InstanceLock::~InstanceLock() {
  if (!taken_) return;
  ReleaseMutex(reinterpret_cast<HANDLE>(handle_));
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

Expected<void> InstanceLock::Take(const std::string& name) {
  // A named mutex lives as long as a handle to it is open, so its existence alone is the
  // lock; the global namespace makes it one per machine, across sessions. The utility also
  // owns it, so that a later run can tell a run of the utility from a program that only
  // holds the name open.
  std::string global = "Global\\" + name;
  holder_.name = global;
  HANDLE mutex = CreateMutexA(nullptr, TRUE, global.c_str());
  if (!mutex) {
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
      holder_.kind = Holder::Kind::kMutexOfAnotherUser;
      return MakeError(Failure::kHeldElsewhere);
    }
    if (error == ERROR_INVALID_HANDLE) {
      holder_.kind = Holder::Kind::kNameOfAnotherKind;
      return MakeError(Failure::kHeldElsewhere);
    }
    return MakeError(Failure::kUnavailable);
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) ReleaseMutex(mutex);
    holder_.kind = wait == WAIT_TIMEOUT ? Holder::Kind::kMutexOwned : Holder::Kind::kMutexNotOwned;
    CloseHandle(mutex);
    return MakeError(Failure::kHeldElsewhere);
  }
  handle_ = reinterpret_cast<intptr_t>(mutex);
  taken_ = true;
  return {};
}

Expected<FileId> InstanceLock::Identity() const {
  // A mutex has no file information; a lock held as a file has.
  BY_HANDLE_FILE_INFORMATION info;
  if (!taken_ || !GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle_), &info))
    return Error{};
  return FileId{info.dwVolumeSerialNumber,
                (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace platform
