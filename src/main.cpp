// The program's entry: the platform takes over the process, then the run begins.
#include "platform/startup.h"
#include "run/run_sequence.h"

int main(int argc, char** argv) {
  if (!StartPlatform(argc, argv)) return 1;
  RunBenchmark();
}
