// The host layer on Windows: the Win32 calls the utility has always made.
// windows.h must come before psapi.h.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>

#include "platform/console_layout.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "platform/win32/host-win32.h"

namespace platform {
namespace {

constexpr DWORD kMaxPath = 260;

// The version functions, taken from the system directory's version.dll at run time: an
// import by name would let a version.dll beside the utility or in the package run its code.
class VersionLibrary {
 public:
  VersionLibrary()
      : module_(LoadLibraryExW(L"version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    if (!module_) return;
    size_ = Function<DWORD(WINAPI*)(LPCWSTR, LPDWORD)>("GetFileVersionInfoSizeW");
    info_ = Function<BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID)>("GetFileVersionInfoW");
    query_ = Function<BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT)>("VerQueryValueW");
  }
  ~VersionLibrary() {
    if (module_) FreeLibrary(module_);
  }
  VersionLibrary(const VersionLibrary&) = delete;
  VersionLibrary& operator=(const VersionLibrary&) = delete;

  // Reads the root block of a file's version information, where the file has one.
  std::optional<VS_FIXEDFILEINFO> FixedFileInfo(const std::wstring& path) const {
    if (!size_ || !info_ || !query_) return std::nullopt;
    DWORD handle = 0;
    DWORD size = size_(path.c_str(), &handle);
    if (size == 0) return std::nullopt;
    std::unique_ptr<char[]> data(new (std::nothrow) char[size]);
    if (!data) return std::nullopt;
    if (!info_(path.c_str(), 0, size, data.get())) return std::nullopt;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!query_(data.get(), L"\\", reinterpret_cast<void**>(&info), &length) || !info)
      return std::nullopt;
    return *info;
  }

 private:
  template <typename F>
  F Function(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

  HMODULE module_;
  DWORD(WINAPI* size_)(LPCWSTR, LPDWORD) = nullptr;
  BOOL(WINAPI* info_)(LPCWSTR, DWORD, DWORD, LPVOID) = nullptr;
  BOOL(WINAPI* query_)(LPCVOID, LPCWSTR, LPVOID*, PUINT) = nullptr;
};

std::optional<VS_FIXEDFILEINFO> FixedFileInfo(const std::string& path) {
  return VersionLibrary().FixedFileInfo(WidePath(path));
}

// The running executable's own path in the wide form, which no code page can spoil; "" when
// it does not fit.
std::wstring OwnPathWide() {
  std::wstring buffer(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return std::wstring();
  buffer.resize(n);
  return buffer;
}

// The user and event-log functions, taken from the system directory's advapi32.dll at run
// time for the same reason as version.dll's.
class AdvapiLibrary {
 public:
  AdvapiLibrary()
      : module_(LoadLibraryExW(L"advapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}
  ~AdvapiLibrary() {
    if (module_) FreeLibrary(module_);
  }
  AdvapiLibrary(const AdvapiLibrary&) = delete;
  AdvapiLibrary& operator=(const AdvapiLibrary&) = delete;

  template <typename F>
  F Function(const char* name) const {
    if (!module_) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_;
};

// UTF-8 text as the wide text the event log takes; bytes that are no UTF-8 come out as U+FFFD.
std::wstring WideText(const std::string& text) {
  if (text.empty()) return std::wstring();
  int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
  return wide;
}

// Waits for the child to end; with a tick, in steps that end on each whole second.
void WaitForChild(HANDLE process, const WaitTick& tick) {
  if (!tick) {
    WaitForSingleObject(process, INFINITE);
    return;
  }
  const ULONGLONG start = GetTickCount64();
  unsigned ticked = 0;
  for (;;) {
    DWORD until_next = static_cast<DWORD>(1000 - (GetTickCount64() - start) % 1000);
    if (WaitForSingleObject(process, until_next) != WAIT_TIMEOUT) return;
    unsigned elapsed = static_cast<unsigned>((GetTickCount64() - start) / 1000);
    if (elapsed > ticked) {
      ticked = elapsed;
      tick(elapsed);
    }
  }
}

FileId IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

SystemResult<OpenedFileFacts> ReadHandleFacts(intptr_t handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(handle), &info))
    return MakeError(LastError());
  OpenedFileFacts facts;
  facts.is_link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  facts.id = IdentityOf(info);
  return facts;
}

// Opens for writing with the name itself, not what a link or other reparse point at it leads
// to, judges the opened handle, and only then empties the file for kReplace. The handle is
// inheritable when a child is to write through it.
Expected<HANDLE, OpenStatus> OpenWritable(const std::string& path, WriteMode mode,
                                          const FileIds& refused, FileFactsReader read_facts,
                                          bool inheritable, DWORD share) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  // Appending data only: every write lands at the end, whoever else writes.
  DWORD access = FILE_READ_ATTRIBUTES | SYNCHRONIZE |
                 (mode == WriteMode::kAppend ? FILE_APPEND_DATA : GENERIC_WRITE);
  const bool made = mode == WriteMode::kCreateNew;
  HANDLE opened = CreateFileA(path.c_str(), access, share, inheritable ? &inherit : nullptr,
                              made ? CREATE_NEW : OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return MakeError(OpenStatus::kFailed);
  Expected<void, OpenStatus> judged =
      JudgeOpenedFile(reinterpret_cast<intptr_t>(opened), made ? FileIds() : refused,
                      read_facts ? read_facts : ReadHandleFacts);
  if (judged && mode == WriteMode::kReplace && !SetEndOfFile(opened)) {  // at offset 0
    judged = MakeError(OpenStatus::kFailed);
  }
  if (!judged) {
    CloseHandle(opened);
    return judged.error();
  }
  return opened;
}

}  // namespace

void LoadLibrariesFromSystemOnly() {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryW(L"");  // takes the current directory out of the search
}

char PathSeparator() {
  return '\\';
}

std::wstring WidePath(const std::string& path) {
  int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n - 1));
  return wide;
}

bool IsPathSeparator(char c) {
  return c == '\\';
}

std::optional<std::string> SystemDirectory() {
  char buffer[kMaxPath];
  UINT n = GetSystemDirectoryA(buffer, kMaxPath);
  if (n == 0 || n >= kMaxPath) return std::nullopt;
  return std::string(buffer, n);
}

std::string SystemDrive() {
  std::optional<std::string> dir = SystemDirectory();
  char drive[3] = {};
  if (!dir ||
      _splitpath_s(dir->c_str(), drive, sizeof drive, nullptr, 0, nullptr, 0, nullptr, 0) != 0)
    return "";
  return drive;
}

std::optional<std::string> TempDirectory() {
  char buffer[kMaxPath + 1];
  DWORD n = GetTempPathA(kMaxPath, buffer);
  if (n == 0 || n > kMaxPath) return std::nullopt;
  return std::string(buffer, n);
}

SystemResult<void> MakeDirectory(const std::string& path) {
  if (!CreateDirectoryA(path.c_str(), nullptr)) return MakeError(LastError());
  return {};
}

SystemResult<void> RemoveFile(const std::string& path) {
  if (std::remove(path.c_str()) != 0) return MakeError(SystemError{errno});
  return {};
}

SystemResult<void> RenameFile(const std::string& from, const std::string& to) {
  if (MoveFileA(from.c_str(), to.c_str()) == 0) return MakeError(LastError());
  return {};
}

std::string FullPath(const std::string& path) {
  char full[MAX_PATH * 4];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  if (n == 0 || n >= sizeof full) return path;
  // A short 8.3 name and its long name are the same file; a file not there yet is compared
  // by its directory's long name.
  char longer[MAX_PATH * 4];
  DWORD m = GetLongPathNameA(full, longer, sizeof longer);
  if (m > 0 && m < sizeof longer) return longer;
  std::string name = full;
  size_t slash = name.find_last_of('\\');
  if (slash == std::string::npos || slash <= 2) return name;  // a root needs no expanding
  std::string dir = name.substr(0, slash);
  m = GetLongPathNameA(dir.c_str(), longer, sizeof longer);
  return m > 0 && m < sizeof longer ? std::string(longer) + name.substr(slash) : name;
}

bool SamePath(const std::string& a, const std::string& b) {
  return EqualsIgnoringCase(FullPath(a), FullPath(b));
}

namespace {

SystemResult<FileId> IdentityOpening(const std::string& path, DWORD flags) {
  // No access is asked for: the file information needs none, and backup semantics let a
  // directory be opened too.
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) return MakeError(LastError());
  BY_HANDLE_FILE_INFORMATION info;
  bool known = GetFileInformationByHandle(file, &info) != 0;
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!known) return MakeError(SystemError{static_cast<int>(error)});
  return IdentityOf(info);
}

}  // namespace

SystemResult<FileId> FileIdentity(const std::string& path) {
  return IdentityOpening(path, 0);
}

SystemResult<FileId> EntryIdentity(const std::string& path) {
  return IdentityOpening(path, FILE_FLAG_OPEN_REPARSE_POINT);
}

bool RefusesPathForm(const std::string& name) {
  return IsDeviceOrStreamName(name);
}

Expected<std::FILE*, OpenStatus> OpenForWriting(const std::string& path, WriteMode mode,
                                                const FileIds& refused,
                                                FileFactsReader read_facts) {
  Expected<HANDLE, OpenStatus> handle =
      OpenWritable(path, mode, refused, read_facts, false, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!handle) return handle.error();
  const bool append = mode == WriteMode::kAppend;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(*handle), append ? _O_APPEND : 0);
  if (fd == -1) {
    CloseHandle(*handle);
    return MakeError(OpenStatus::kFailed);
  }
  _setmode(fd, append ? _O_TEXT : _O_BINARY);  // the log is text, as fopen "a" made it
  std::FILE* file = _fdopen(fd, append ? "a" : "wb");
  if (!file) {
    _close(fd);  // closes the handle too
    return MakeError(OpenStatus::kFailed);
  }
  return file;
}

Expected<void, OpenStatus> AppendLine(const std::string& path, const std::string& text,
                                      const FileIds& refused) {
  Expected<HANDLE, OpenStatus> handle = OpenWritable(path, WriteMode::kAppend, refused, nullptr,
                                                     false, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!handle) return handle.error();
  const std::string line = text + "\r\n";
  DWORD written = 0;
  BOOL wrote = WriteFile(*handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  BOOL closed = CloseHandle(*handle);
  if (!wrote || !closed || written != line.size()) return MakeError(OpenStatus::kFailed);
  return {};
}

std::optional<std::string> OwnExecutablePath() {
  std::wstring wide = OwnPathWide();
  if (wide.empty() || wide.size() >= kMaxPath) return std::nullopt;
  // In the active code page, as every narrow call of the utility reads its names.
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0,
                              nullptr, nullptr);
  if (n <= 0) return std::nullopt;
  std::string path(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &path[0], n, nullptr,
                      nullptr);
  return path;
}

std::optional<std::string> OwnFileVersion() {
  std::optional<VS_FIXEDFILEINFO> fixed = VersionLibrary().FixedFileInfo(OwnPathWide());
  if (!fixed) return std::nullopt;
  const VS_FIXEDFILEINFO& info = *fixed;
  char text[256];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(HIWORD(info.dwFileVersionMS)),
                static_cast<int>(LOWORD(info.dwFileVersionMS)),
                static_cast<int>(HIWORD(info.dwFileVersionLS)),
                static_cast<int>(LOWORD(info.dwFileVersionLS)));
  return text;
}

std::optional<ProductVersion> FileProductVersion(const std::string& path) {
  std::optional<VS_FIXEDFILEINFO> info = FixedFileInfo(path);
  if (!info) return std::nullopt;
  return ProductVersion{info->dwProductVersionMS, info->dwProductVersionLS};
}

bool IsNt52OrLater() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExA(&info)) return false;
  return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion == 5 &&
         info.dwMinorVersion >= 2;
}

SystemResult<std::vector<std::string>> RunningProcessNames() {
  DWORD ids[1024];
  DWORD bytes = 0;
  if (!EnumProcesses(ids, sizeof ids, &bytes)) return MakeError(LastError());
  std::vector<std::string> names;
  for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
    if (ids[i] == 0) continue;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
    if (!process) continue;
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (EnumProcessModules(process, &module, sizeof module, &needed)) {
      char name[kMaxPath] = {};
      GetModuleBaseNameA(process, module, name, kMaxPath);
      names.push_back(name);
    }
    CloseHandle(process);
  }
  return names;
}

Expected<uint32_t, RunStatus> RunCommandLine(const std::string& command_line,
                                             const std::string& capture_file, const WaitTick& tick,
                                             const FileIds& refused,
                                             const std::vector<std::string>*,
                                             WriteMode capture_mode) {
  // The child never shares the utility's own standard handles: its output goes to the
  // capture file or nowhere, even when the utility's output is redirected.
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!capture_file.empty()) {
    Expected<HANDLE, OpenStatus> opened =
        OpenWritable(capture_file, capture_mode, refused, nullptr, true, FILE_SHARE_READ);
    if (!opened) return CaptureOpenError(opened.error());
    output = *opened;
    startup.hStdOutput = output;
    startup.hStdError = output;
  }
  std::string line = command_line;  // CreateProcessA may write into its command line
  PROCESS_INFORMATION process = {};
  // A group of its own keeps Ctrl-C and Ctrl-Break away from a running flash.
  BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE,
                                CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                                &startup, &process);
  if (!started) {
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    return MakeError(RunStatus::StartFailed);
  }
  WaitForChild(process.hProcess, tick);
  DWORD code = 0;
  // An exit code that cannot be read is no success.
  const bool known = GetExitCodeProcess(process.hProcess, &code) != 0;
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  if (!known) return MakeError(RunStatus::ExitCodeUnknown);
  return static_cast<uint32_t>(code);
}

void SleepMilliseconds(unsigned ms) {
  Sleep(ms);
}

void SetConsoleWindowTitle(const std::string& title) {
  SetConsoleTitleA(title.c_str());
}

bool StdoutIsConsole() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

void SizeConsole(int columns, int rows) {
  class Win32Console : public ConsoleCalls {
   public:
    SystemResult<ConsoleLayout> Read() override {
      CONSOLE_SCREEN_BUFFER_INFO info;
      if (!GetConsoleScreenBufferInfo(out_, &info)) return MakeError(LastError());
      return ConsoleLayout{info.dwSize.X,     info.dwSize.Y,       info.srWindow.Left,
                           info.srWindow.Top, info.srWindow.Right, info.srWindow.Bottom};
    }
    void LargestWindow(int* columns, int* rows) override {
      COORD largest = GetLargestConsoleWindowSize(out_);
      *columns = largest.X;
      *rows = largest.Y;
    }
    SystemResult<void> SetBuffer(int columns, int rows) override {
      if (!SetConsoleScreenBufferSize(out_,
                                      {static_cast<SHORT>(columns), static_cast<SHORT>(rows)}))
        return MakeError(LastError());
      return {};
    }
    SystemResult<void> SetWindow(int left, int top, int right, int bottom) override {
      SMALL_RECT window = {static_cast<SHORT>(left), static_cast<SHORT>(top),
                           static_cast<SHORT>(right), static_cast<SHORT>(bottom)};
      if (!SetConsoleWindowInfo(out_, TRUE, &window)) return MakeError(LastError());
      return {};
    }

   private:
    HANDLE out_ = GetStdHandle(STD_OUTPUT_HANDLE);
  } console;
  GrowConsoleThrough(console, columns, rows);
}

std::string LocalTimeText() {
  __time64_t now = _time64(nullptr);
  struct tm local;
  char text[64] = {};
  if (_localtime64_s(&local, &now) != 0 || asctime_s(text, sizeof text, &local) != 0) return "\n";
  return text;
}

std::string UtcTimeText() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

uint64_t SteadyMilliseconds() {
  return GetTickCount64();
}

std::optional<std::string> HostName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return std::nullopt;
  return std::string(name, size);
}

std::optional<std::string> UserName() {
  char name[257] = {};
  DWORD size = sizeof name;
  AdvapiLibrary advapi;
  auto get_user = advapi.Function<BOOL(WINAPI*)(LPSTR, LPDWORD)>("GetUserNameA");
  if (get_user && get_user(name, &size)) return std::string(name);
  return std::nullopt;
}

uint32_t ProcessId() {
  return GetCurrentProcessId();
}

bool ReportRunEvent(EventLevel level, uint32_t event_id, const std::string& text) {
  AdvapiLibrary advapi;
  auto register_source = advapi.Function<HANDLE(WINAPI*)(LPCWSTR, LPCWSTR)>("RegisterEventSourceW");
  auto report =
      advapi
          .Function<BOOL(WINAPI*)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCWSTR*, LPVOID)>(
              "ReportEventW");
  auto deregister = advapi.Function<BOOL(WINAPI*)(HANDLE)>("DeregisterEventSource");
  if (!register_source || !report || !deregister) return false;
  HANDLE source = register_source(nullptr, L"Quorvane");
  if (!source) return false;
  std::wstring wide = WideText(text);
  LPCWSTR strings[] = {wide.c_str()};
  WORD type = level == EventLevel::kError     ? EVENTLOG_ERROR_TYPE
              : level == EventLevel::kWarning ? EVENTLOG_WARNING_TYPE
                                              : EVENTLOG_INFORMATION_TYPE;
  BOOL reported = report(source, type, 0, event_id, nullptr, 1, 0, strings, nullptr);
  deregister(source);
  return reported != 0;
}

}  // namespace platform
