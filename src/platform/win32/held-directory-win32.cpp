// A report's directory held by handle, and the one rename that finishes the report in it.
#include <windows.h>

#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "platform/win32/host-win32.h"

namespace platform {
namespace {

// Held without FILE_SHARE_DELETE: while the handle is open, nobody renames, deletes or
// replaces the directory, nor a directory above it. A reparse point is opened as itself.
HANDLE OpenDirectory(const std::string& path) {
  HANDLE dir = CreateFileA(
      path.c_str(),
      FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (dir == INVALID_HANDLE_VALUE) return dir;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(dir, &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    CloseHandle(dir);
    SetLastError(ERROR_DIRECTORY);
    return INVALID_HANDLE_VALUE;
  }
  return dir;
}

// The request SetFileInformationByHandle hands on, made directly: Wine 8 leaves that call's
// FileRenameInfo undone, while its NtSetInformationFile carries it out, RootDirectory too.
DWORD RenameThroughNtdll(HANDLE file, FILE_RENAME_INFO* rename, size_t bytes) {
  using SetInformation = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, int);
  using ToDosError = ULONG(WINAPI*)(LONG);
  constexpr int kFileRenameInformation = 10;
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return ERROR_CALL_NOT_IMPLEMENTED;
  auto set = reinterpret_cast<SetInformation>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetInformationFile")));
  auto to_dos = reinterpret_cast<ToDosError>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
  if (!set || !to_dos) return ERROR_CALL_NOT_IMPLEMENTED;
  ULONG_PTR status_block[2] = {};
  LONG status = set(file, status_block, rename, static_cast<ULONG>(bytes), kFileRenameInformation);
  return status == 0 ? ERROR_SUCCESS : to_dos(status);
}

}  // namespace

HeldDirectory::~HeldDirectory() {
  RemovePrivate();
  if (dir_ != -1) CloseHandle(reinterpret_cast<HANDLE>(dir_));
}

SystemResult<void> HeldDirectory::Open(const std::string& file) {
  size_t separator = file.find_last_of("\\/");
  if (separator == std::string::npos && file.size() >= 2 && file[1] == ':') separator = 1;
  dir_path_ = separator == std::string::npos ? "" : file.substr(0, separator + 1);
  final_name_ = file.substr(dir_path_.size());
  HANDLE dir = OpenDirectory(dir_path_.empty() ? "." : dir_path_);
  if (dir == INVALID_HANDLE_VALUE) return MakeError(LastError());
  dir_ = reinterpret_cast<intptr_t>(dir);
  return {};
}

SystemResult<std::string> HeldDirectory::MakePrivate(const std::string& prefix) {
  DWORD error = ERROR_INVALID_HANDLE;
  for (int n = 0; dir_ != -1 && n < 100; ++n) {
    std::string name = prefix + (n ? std::to_string(n) : "");
    std::string path = dir_path_ + name;
    if (!CreateDirectoryA(path.c_str(), nullptr)) {
      error = GetLastError();
      if (error == ERROR_ALREADY_EXISTS) continue;
      break;
    }
    HANDLE held = OpenDirectory(path);
    if (held == INVALID_HANDLE_VALUE) {
      error = GetLastError();
      RemoveDirectoryA(path.c_str());
      break;
    }
    private_ = reinterpret_cast<intptr_t>(held);
    private_name_ = name;
    return path;
  }
  return MakeError(SystemError{static_cast<int>(error)});
}

SystemResult<void> HeldDirectory::MoveIn(const std::string& name) {
  if (private_ == -1) return MakeError(SystemError{ERROR_INVALID_HANDLE});
  // The private directory cannot be swapped while it is held, so its path still leads to it.
  std::string from = dir_path_ + private_name_ + "\\" + name;
  HANDLE file = CreateFileA(from.c_str(), DELETE | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return MakeError(LastError());
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    CloseHandle(file);
    return MakeError(SystemError{ERROR_INVALID_PARAMETER});
  }
  // The new name is relative to the held directory's handle, never to a path.
  std::wstring target = WidePath(final_name_);
  size_t bytes = sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t);
  std::unique_ptr<char[]> buffer(new char[bytes]());
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.get());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = reinterpret_cast<HANDLE>(dir_);
  rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::memcpy(rename->FileName, target.c_str(), rename->FileNameLength);
  DWORD error = ERROR_SUCCESS;
  if (!SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(bytes)))
    error = RenameThroughNtdll(file, rename, bytes);
  CloseHandle(file);
  if (error != ERROR_SUCCESS) return MakeError(SystemError{static_cast<int>(error)});
  return {};
}

void HeldDirectory::RemovePrivate() {
  if (private_ == -1) return;
  std::string path = dir_path_ + private_name_;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileA((path + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  CloseHandle(reinterpret_cast<HANDLE>(private_));
  private_ = -1;
  RemoveDirectoryA(path.c_str());
}

}  // namespace platform
