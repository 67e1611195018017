// A child for the tool runner's tests: out:TEXT and err:TEXT write a line to standard output
// or standard error, exit:N sets the exit code, sleep:MS waits that long.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
  int code = 0;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strncmp(arg, "out:", 4) == 0) {
      std::fprintf(stdout, "%s\n", arg + 4);
      std::fflush(stdout);
    } else if (std::strncmp(arg, "err:", 4) == 0) {
      std::fprintf(stderr, "%s\n", arg + 4);
      std::fflush(stderr);
    } else if (std::strncmp(arg, "exit:", 5) == 0) {
      code = std::atoi(arg + 5);
    } else if (std::strncmp(arg, "sleep:", 6) == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(arg + 6)));
    }
  }
  return code;
}
