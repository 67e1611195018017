// Process safety on Windows: console interrupts, links and the instance lock.
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

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

namespace {

// The reparse data of a symbolic link or a junction; mount points lack the flags.
struct LinkReparseData {
  DWORD tag;
  WORD length;
  WORD reserved;
  WORD substitute_offset;
  WORD substitute_length;
  WORD print_offset;
  WORD print_length;
};

}  // namespace

std::optional<std::string> LinkTarget(const std::string& path) {
  HANDLE link = CreateFileA(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (link == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<char> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD got = 0;
  BOOL read = DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                              static_cast<DWORD>(data.size()), &got, nullptr);
  CloseHandle(link);
  LinkReparseData head;
  if (!read || got < sizeof head) return std::nullopt;
  std::memcpy(&head, data.data(), sizeof head);
  // A symbolic link's names start after its flags; a junction's right after the head.
  size_t names = sizeof head;
  bool relative = false;
  if (head.tag == IO_REPARSE_TAG_SYMLINK) {
    ULONG flags = 0;
    if (got < names + sizeof flags) return std::nullopt;
    std::memcpy(&flags, data.data() + names, sizeof flags);
    relative = (flags & SYMLINK_FLAG_RELATIVE) != 0;
    names += sizeof flags;
  } else if (head.tag != IO_REPARSE_TAG_MOUNT_POINT) {
    return std::nullopt;
  }
  size_t at = names + head.print_offset;
  if (head.print_length == 0 || at + head.print_length > got) return std::nullopt;
  std::wstring wide(head.print_length / sizeof(wchar_t), L'\0');
  std::memcpy(&wide[0], data.data() + at, head.print_length);
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return std::nullopt;
  std::string target(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &target[0], n,
                      nullptr, nullptr);
  size_t separator = path.find_last_of("\\/");
  if (!relative || separator == std::string::npos) return target;
  return path.substr(0, separator + 1) + target;
}

InstanceLock::~InstanceLock() {
  if (!taken_) return;
  ReleaseMutex(reinterpret_cast<HANDLE>(handle_));
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

Expected<void, InstanceLock::Failure> InstanceLock::Take(const std::string& name) {
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

SystemResult<FileId> InstanceLock::Identity() const {
  // A mutex has no file information; a lock held as a file has.
  BY_HANDLE_FILE_INFORMATION info;
  if (!taken_ || !GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle_), &info))
    return Error<SystemError>{};
  return FileId{info.dwVolumeSerialNumber,
                (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

}  // namespace platform
