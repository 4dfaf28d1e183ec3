// The scrambler's main sequence: masks the file named on the command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t kByteMask = 0x5A;
constexpr int32_t kWordMask = 0x5A5A5A5A;
constexpr char kMarkerWord[] = "tarvex";
constexpr char kUsageLine[] =
    "Usage: datamask <input_file_name> <output_file_name>";

// Where each check stands; the report shows it as the failure's location.
enum check_site : uint32_t {
  site_usage = 0x00401A10,
  site_open_input = 0x00401A4C,
  site_create_output = 0x00401A7E,
  site_read_count = 0x00401AB2,
  site_write_count = 0x00401AE9,
  site_write_marker = 0x00401B27,
  site_read_pair = 0x00401B6D,
  site_write_pair = 0x00401BC3,
  site_close_input = 0x00401C08,
  site_close_output = 0x00401C31,
};

// The whole command line, program name first; never returns, the process
// ends inside.
[[noreturn]] void datamask_run(const char* command_line);
// The same for an argv list, joined into a command line first.
[[noreturn]] void datamask_main(const std::vector<std::string>& argv);
