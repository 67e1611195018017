// Runs a program the way an administrator or a deployment framework would: in a chosen
// directory, with typed input, reading what it printed and its exit code.
#pragma once

#include <string>
#include <vector>

namespace test {

struct ProcessResult {
  int exit_code = -1;
  std::string output;      // standard output and standard error, CR LF folded to LF
  bool timed_out = false;  // ended by the time limit; exit_code is then -1
};

// argv[0] is the program's path. input is fed as standard input, then end of input. A
// program still running after time_limit_seconds (0: no limit) is ended.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& directory,
                         const std::string& input = "", unsigned time_limit_seconds = 0);

// The same with the program's address space limited to limit_mb MiB. False where the host
// cannot limit one process's memory.
bool RunProcessWithMemoryLimit(const std::vector<std::string>& argv, const std::string& directory,
                               size_t limit_mb, ProcessResult* result);

// The same with standard input, output and error on a new pseudo-terminal, as in an
// administrator's console; output is every byte the terminal received. False where the host
// has no pseudo-terminals.
bool RunProcessOnTerminal(const std::vector<std::string>& argv, const std::string& directory,
                          ProcessResult* result);

// A program left running while the test goes on; Wait returns its exit code.
class BackgroundProcess {
 public:
  BackgroundProcess(const std::vector<std::string>& argv, const std::string& directory);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;
  int Wait();

 private:
  void* handle_ = nullptr;  // the host's process handle or id
  bool waited_ = false;
  int exit_code_ = -1;
};

// A Windows named pipe \\.\pipe\<name> that waits for a client, to learn whether a program
// opened it. Where the host has no such pipes, path() is empty.
class PipeServer {
 public:
  explicit PipeServer(const std::string& name);
  ~PipeServer();
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;
  const std::string& path() const { return path_; }
  bool Opened() const;  // a client opened the pipe, whether or not it still holds it

 private:
  std::string path_;
  void* handle_ = nullptr;
};

// Holds the utility's lock name as another program might, without holding it the utility's
// way: on Linux the abstract socket name only bound, on Windows the mutex made but not owned.
class ForeignLockHolder {
 public:
  explicit ForeignLockHolder(const std::string& name);
  ~ForeignLockHolder();
  ForeignLockHolder(const ForeignLockHolder&) = delete;
  ForeignLockHolder& operator=(const ForeignLockHolder&) = delete;
  bool held() const { return held_; }

 private:
  long long handle_ = -1;  // the socket or the mutex handle
  bool held_ = false;
};

// Sets a variable of this process's environment, which child processes inherit.
void SetEnvironment(const std::string& name, const std::string& value);

// Makes the Windows host report another version to the utility ("win2003", "win7"; "" for the
// default). Only Wine allows this; false where the host's version cannot be chosen.
bool SetHostVersionForUtility(const std::string& version);

}  // namespace test
