// The host layer: every operating-system service the utility uses, in its own terms.
// One implementation per host lives in win32/ and posix/; nothing outside this folder
// tests for the platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/expected.h"

namespace platform {

// A host error number: errno on POSIX, GetLastError() on Windows.
struct SystemError {
  int number = 0;
};
inline bool operator==(SystemError a, SystemError b) {
  return a.number == b.number;
}
template <typename T>
using SystemResult = Expected<T, SystemError>;

// The separator the host's paths use between directories ('\\' or '/').
char PathSeparator();
// True for every character the host accepts as a directory separator in a program path.
bool IsPathSeparator(char c);

// The drive part of the system directory ("C:" on Windows). On POSIX the SYSTEMDRIVE
// environment variable without a trailing '/', or "" (the root) when unset.
std::string SystemDrive();
// The system directory ("C:\Windows\system32"; POSIX: <drive>/windows/system32); none when
// the host does not tell it or it does not fit 260 characters.
std::optional<std::string> SystemDirectory();
// The temporary directory with its trailing separator; none when the host has none or its
// path does not fit 260 characters.
std::optional<std::string> TempDirectory();
// Creates one directory; an error (the host's error number) when it could not be created, as
// when it exists already.
SystemResult<void> MakeDirectory(const std::string& path);
// Deletes a file (never a directory); an error (the host's error number) when it could not.
SystemResult<void> RemoveFile(const std::string& path);
// True when a status query on the path succeeds; a directory of that name counts too.
bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
// The file's size in bytes; none when it cannot be read.
std::optional<uint64_t> FileSize(const std::string& path);
// Gives a file another name in the same directory; an error (the host's error number) when
// it could not, as when the new name is taken.
SystemResult<void> RenameFile(const std::string& from, const std::string& to);
// The absolute path a file name stands for from the current directory, with links and "."
// and ".." resolved as far as the path exists.
std::string FullPath(const std::string& path);
// True when two file names stand for the same file (case-insensitively where the host's
// file names are).
bool SamePath(const std::string& a, const std::string& b);

// Windows: libraries loaded later come from the system directory only, never from the
// utility's own directory, the current directory or the search path. Nothing to do on POSIX.
void LoadLibrariesFromSystemOnly();

// What makes a file itself, whatever name reaches it: device and inode on POSIX, volume serial
// number and file index on Windows. Hard links and other names of one file share it.
struct FileId {
  uint64_t volume = 0;
  uint64_t index = 0;
};
inline bool operator==(const FileId& a, const FileId& b) {
  return a.volume == b.volume && a.index == b.index;
}
using FileIds = std::vector<FileId>;
bool Contains(const FileIds& ids, const FileId& id);
// The identity of the file a name reaches, links followed; an error when there is none.
SystemResult<FileId> FileIdentity(const std::string& path);
// The identity of the file at the name itself, a link there not followed.
SystemResult<FileId> EntryIdentity(const std::string& path);

// True for a file name that stays in the current directory on every host: no separator of
// either kind, no drive, device or stream form (no ':'), neither "." nor "..", and no
// Windows device name (CON, NUL, COM1, ...) with whatever extension.
bool IsPlainFileName(const std::string& name);

// True for a name in the Windows device namespace (\\?\, \\.\, //?/, \??\, with either
// separator) or naming a stream (a ':' other than the drive letter's). Plain text, so it reads
// the same on every host; RefusesPathForm applies it where such names mean something.
bool IsDeviceOrStreamName(const std::string& name);
// True when the host would take the name past its ordinary file names: the Windows host
// refuses device-namespace and stream forms, the POSIX host has none.
bool RefusesPathForm(const std::string& name);

// What a handle the host opened tells about its file.
struct OpenedFileFacts {
  bool is_link = false;  // a symbolic link or another reparse point
  FileId id;
};
// Reads those facts from an open descriptor or handle; an error when they cannot be read. The
// host's own reader is the default; tests give another to show how an open acts on facts the
// host under test cannot produce (Wine makes no reparse points).
using FileFactsReader = SystemResult<OpenedFileFacts> (*)(intptr_t handle);

// Why an open for writing failed (the code of its Error).
enum class OpenStatus {
  kIsLink = 1,  // the name is a link, which is never written through
  kProtected,   // the file is one of the refused ones; it is left as it was
  kFailed,
};
// kCreateNew makes a file that was not there and fails when the name is taken; a file so made
// is no other file, so no refused identity applies to it.
enum class WriteMode { kAppend, kReplace, kCreateNew };

// Opens a file for writing through one handle, creating it when missing and never following
// a link at its name (a dangling link's target is never created). The file is judged on the
// opened handle, so no other name can slip in between check and write; only then kReplace
// empties it. kAppend opens the log's way (text mode where the host has one). The file is the
// caller's to close; the error's code is an OpenStatus.
Expected<std::FILE*, OpenStatus> OpenForWriting(const std::string& path, WriteMode mode,
                                                const FileIds& refused,
                                                FileFactsReader read_facts = nullptr);

// The directory a file is to be finished in, held from before the file is made to the one
// rename that puts it in place, so that no name swapped in meanwhile can redirect it: on POSIX
// an O_DIRECTORY|O_NOFOLLOW descriptor; on Windows a handle held without FILE_SHARE_DELETE,
// so the directory can be neither renamed nor replaced. The file is made in a private
// directory inside it (POSIX mode 0700) and renamed from there relative to both handles, so
// whatever had the final name, a link too, is replaced whole and never written through.
class HeldDirectory {
 public:
  HeldDirectory() = default;
  ~HeldDirectory();
  HeldDirectory(const HeldDirectory&) = delete;
  HeldDirectory& operator=(const HeldDirectory&) = delete;

  // Opens the directory that holds file (the current one for a plain name); an error (the
  // host's error number) when it is missing, no directory or a link.
  SystemResult<void> Open(const std::string& file);
  // Makes and holds the first free private directory PREFIX, PREFIX1 ... PREFIX99 in the
  // held one; the value is its path as the directory of file was given ("" for none).
  SystemResult<std::string> MakePrivate(const std::string& prefix);
  // Renames name in the private directory to the file's own name in the held one, replacing
  // whatever has that name whole.
  SystemResult<void> MoveIn(const std::string& name);
  // Removes the private directory and whatever was left in it.
  void RemovePrivate();

 private:
  intptr_t dir_ = -1;      // descriptor or handle of the held directory
  intptr_t private_ = -1;  // ... of the private directory inside it
  std::string dir_path_;   // the directory as given, with its separator ("" for none)
  std::string private_name_;
  std::string final_name_;  // the file's own name
};

// Appends text and the host's line end (CR LF on Windows) to a file in one write, through an
// open judged as OpenForWriting's; the error's code is an OpenStatus.
Expected<void, OpenStatus> AppendLine(const std::string& path, const std::string& text,
                                      const FileIds& refused);

// Full path of the running executable; none when the host does not tell it.
std::optional<std::string> OwnExecutablePath();
// The running executable's file version, "a.b.c.d"; none when it carries none.
std::optional<std::string> OwnFileVersion();

// Product version of a file's VERSIONINFO resource: the most and least significant
// 32-bit words of the fixed file information.
struct ProductVersion {
  uint32_t most = 0;
  uint32_t least = 0;
};
// None when the file cannot be read or has no such resource.
std::optional<ProductVersion> FileProductVersion(const std::string& path);

// True when the host reports the NT family, major version 5 and minor version 2 or higher.
bool IsNt52OrLater();

// Base names of the executables of the running processes, in the order the host lists
// them. An error when the process list cannot be read.
SystemResult<std::vector<std::string>> RunningProcessNames();

// Why a command line did not run to its end (the code of its Error).
enum class RunStatus {
  CaptureFailed = 1,   // the capture file could not be created
  CaptureIsLink,       // the capture file is a link, which is never written through
  CaptureIsProtected,  // the capture file is a protected file under another name
  StartFailed,         // the program could not be started
  ExitCodeUnknown,     // it ran, but how it ended cannot be read
};

// How a capture file that did not open ends a tool run: the open's error as a RunStatus one.
Error<RunStatus> CaptureOpenError(const Error<OpenStatus>& open);

// Shared by both hosts' opens: judges a freshly opened file by its handle's facts (read with
// read_facts); an OpenStatus error when it may not be written.
Expected<void, OpenStatus> JudgeOpenedFile(intptr_t handle, const FileIds& refused,
                                           FileFactsReader read_facts);

// Called while a started child runs, about once a second, with the whole seconds since it
// started (1, 2, ...). The child is never stopped or killed because of it.
using WaitTick = std::function<void(unsigned elapsed_seconds)>;

// Runs a command line without a shell and without a console window, waiting for it to end.
// When capture_file is not empty it is created (or emptied) first and receives the child's
// standard output and standard error. The program is looked up in the utility's own
// directory first. The child runs in a process group of its own, so an interrupt meant for
// the utility never reaches it: a flash always runs to its end. A tick, when given, is called
// while the child runs.
// A capture file that is one of the refused files is left untouched and nothing runs.
// The value is the child's exit code; the error's code is a RunStatus. A POSIX host runs
// argv as given, when there is one, rather than the command line's words; Windows starts the
// command line. capture_mode kCreateNew makes a fresh capture file.
Expected<uint32_t, RunStatus> RunCommandLine(const std::string& command_line,
                                             const std::string& capture_file,
                                             const WaitTick& tick = nullptr,
                                             const FileIds& refused = FileIds(),
                                             const std::vector<std::string>* argv = nullptr,
                                             WriteMode capture_mode = WriteMode::kReplace);

void SleepMilliseconds(unsigned ms);

// True when standard output is a console (Windows) or a terminal (POSIX), not a file or pipe.
bool StdoutIsConsole();

void SetConsoleWindowTitle(const std::string& title);
// Grows the console window and buffer to at least this size, never shrinking either, so
// what scrolled by before the run stays readable; does nothing when standard output is no
// console.
void SizeConsole(int columns, int rows);

// "Wed Jun 30 21:49:08 1993\n" for the current local time.
std::string LocalTimeText();
// The current time in UTC, ISO-8601 with milliseconds: "2026-12-09T06:50:02.123Z".
std::string UtcTimeText();
// Milliseconds of a clock that never goes back, for durations.
uint64_t SteadyMilliseconds();
// The machine's name, the user running the utility and its process id; a name is none when
// the host does not tell it.
std::optional<std::string> HostName();
std::optional<std::string> UserName();
uint32_t ProcessId();

// How a run's event is filed in the host's system log.
enum class EventLevel { kInformation, kWarning, kError };
// Windows: one Application event log entry from the source "Quorvane"; POSIX: one syslog
// line. False when the host's log did not take it.
bool ReportRunEvent(EventLevel level, uint32_t event_id, const std::string& text);

// ---- Process safety ----

// POSIX: opens closed standard descriptors 0 to 2 on /dev/null, so that no file the utility
// opens takes their place, and ignores SIGPIPE, so that a reader that went away cannot end a
// run between two flashes. Nothing to do on Windows.
void GuardStandardStreams();

// From now on an interrupt (Ctrl-C, Ctrl-Break or closing the console on Windows; SIGINT,
// SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM and every other signal that would end it, but
// those of its own faults, on POSIX) does not end the process: it is noted for
// InterruptRequested, and a read of standard input that waits for a line returns at once.
// A signal the utility was started with ignored stays ignored.
void CatchInterrupts();
bool InterruptRequested();
// After a read of standard input failed: true when an interrupt cut it short.
bool ReadWasInterrupted();

// True when the path itself is a symbolic link or another reparse point, dangling or not.
bool IsLink(const std::string& path);
// The name a symbolic link (on Windows also a junction) points to, a relative one taken from
// the link's own directory, whether it exists or not; none when the path is no such link.
std::optional<std::string> LinkTarget(const std::string& path);

// The utility's own machine-wide lock, so that one run at a time works on the adapters: a
// named mutex on Windows, an abstract socket name on Linux (an flock on a file at a fixed
// system path on other POSIX hosts). No environment variable moves it. It is held while the
// object lives, and the host lets go of it when the process ends, however it ends.
class InstanceLock {
 public:
  // Why the lock was not taken (the code of Take's Error).
  enum class Failure { kHeldElsewhere = 1, kUnavailable };

  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Who holds the lock when Take found it held, as far as the host can tell.
  struct Holder {
    enum class Kind {
      kUnknown,
      kUtilityRun,          // POSIX: a run of this same program answered
      kOtherProgram,        // POSIX: the name answers, or not, as no run of the utility does
      kMutexOwned,          // Windows: a thread of another process owns the mutex
      kMutexNotOwned,       // Windows: the mutex is held open but owned by no thread
      kMutexOfAnotherUser,  // Windows: the mutex exists and may not be opened
      kNameOfAnotherKind,   // Windows: an object that is no mutex has the name
    };
    Kind kind = Kind::kUnknown;
    long long process = -1;  // -1 when unknown
    std::string user;        // "" when unknown
    std::string name;        // the host's own name of the lock
  };

  // name is a plain word; each host turns it into its own kind of name. On kHeldElsewhere
  // holder() tells who holds it.
  Expected<void, Failure> Take(const std::string& name);
  const Holder& holder() const { return holder_; }
  // The identity of the lock when it is a file the utility holds open; an error otherwise.
  SystemResult<FileId> Identity() const;

 private:
  intptr_t handle_ = 0;  // the mutex handle or the file descriptor
  bool taken_ = false;
  Holder holder_;
};

}  // namespace platform
