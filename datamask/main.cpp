// datamask: masks a test-data file; see datamask_main for the sequence.
#include <string>
#include <vector>

#include "platform.h"
#include "scrambler.h"

int main(int argc, char** argv) {
  platform_start();
  datamask_main(std::vector<std::string>(argv, argv + argc));
}
