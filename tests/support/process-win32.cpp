#include <windows.h>

#include <cstdlib>

#include "adapter/tool/command_lines.h"
#include "platform/platform.h"
#include "support/files.h"
#include "support/process.h"

namespace test {
namespace {

HANDLE OpenInheritable(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& directory,
                         const std::string& input, unsigned time_limit_seconds) {
  ProcessResult result;
  TempDir io;
  WriteBytes(io.File("stdin.txt"), input);
  HANDLE in = OpenInheritable(io.File("stdin.txt"), GENERIC_READ, OPEN_EXISTING);
  HANDLE out = OpenInheritable(io.File("stdout.txt"), GENERIC_WRITE, CREATE_ALWAYS);
  std::string line;
  for (const std::string& a : argv) line += (line.empty() ? "" : " ") + QuoteArgument(a);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = out;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, directory.c_str(),
                     &startup, &process)) {
    DWORD limit = time_limit_seconds > 0 ? time_limit_seconds * 1000 : INFINITE;
    if (WaitForSingleObject(process.hProcess, limit) == WAIT_TIMEOUT) {
      result.timed_out = true;
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, INFINITE);
    } else {
      DWORD code = 0;
      GetExitCodeProcess(process.hProcess, &code);
      result.exit_code = static_cast<int>(code);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(in);
  CloseHandle(out);
  result.output = ReadText(io.File("stdout.txt"));
  return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::string& directory) {
  std::string line;
  for (const std::string& a : argv) line += (line.empty() ? "" : " ") + QuoteArgument(a);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                     directory.c_str(), &startup, &process)) {
    CloseHandle(process.hThread);
    handle_ = process.hProcess;
  }
}

BackgroundProcess::~BackgroundProcess() {
  Wait();
}

int BackgroundProcess::Wait() {
  if (waited_ || !handle_) return exit_code_;
  waited_ = true;
  WaitForSingleObject(handle_, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(handle_, &code);
  CloseHandle(handle_);
  exit_code_ = static_cast<int>(code);
  return exit_code_;
}

void SetEnvironment(const std::string& name, const std::string& value) {
  SetEnvironmentVariableA(name.c_str(), value.c_str());
  _putenv_s(name.c_str(), value.c_str());
}

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
  const DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  // Wine reports success but makes nothing, so the link is looked at afterwards.
  return CreateSymbolicLinkA(link.c_str(), target.c_str(), kUnprivileged) && platform::IsLink(link);
}

bool SetHostVersionForUtility(const std::string& version) {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return false;  // not Wine
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Quorvane.exe", 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = version.empty() ? RegDeleteValueA(key, "Version")
                            : RegSetValueExA(key, "Version", 0, REG_SZ,
                                             reinterpret_cast<const BYTE*>(version.c_str()),
                                             static_cast<DWORD>(version.size() + 1));
  RegCloseKey(key);
  return version.empty() || rc == ERROR_SUCCESS;
}

// Wine enforces no per-process memory limit of a job, so the limit cannot be tested here.
bool RunProcessWithMemoryLimit(const std::vector<std::string>&, const std::string&, size_t,
                               ProcessResult*) {
  return false;
}

bool RunProcessOnTerminal(const std::vector<std::string>&, const std::string&, ProcessResult*) {
  return false;
}

PipeServer::PipeServer(const std::string& name) {
  std::string path = "\\\\.\\pipe\\" + name;
  // Not waiting: asking whether a client came never blocks.
  HANDLE pipe = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1,
                                 4096, 4096, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return;
  handle_ = pipe;
  path_ = path;
}

PipeServer::~PipeServer() {
  if (handle_) CloseHandle(handle_);
}

bool PipeServer::Opened() const {
  if (!handle_ || ConnectNamedPipe(handle_, nullptr)) return false;
  DWORD error = GetLastError();
  return error == ERROR_PIPE_CONNECTED || error == ERROR_NO_DATA;
}

ForeignLockHolder::ForeignLockHolder(const std::string& name) {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, ("Global\\" + name).c_str());
  if (!mutex) return;
  handle_ = reinterpret_cast<intptr_t>(mutex);
  held_ = true;
}

ForeignLockHolder::~ForeignLockHolder() {
  if (held_) CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle_)));
}

}  // namespace test
