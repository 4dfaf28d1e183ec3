// datamask: masks a test-data file; see datamask_run for the sequence.
#include "cmdline.h"
#include "platform.h"
#include "scrambler.h"

int main(int argc, char** argv) {
  platform_start();
  datamask_run(platform_command_line(argc, argv).c_str());
}
