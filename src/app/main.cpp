#include "app/program.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  platform::LoadLibrariesFromSystemOnly();  // before anything can load a library
  return RunProgram(argc, argv);
}
