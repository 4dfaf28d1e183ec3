// The scrambler's main sequence over the text-file layer.
#include "scrambler.h"

#include "cmdline.h"
#include "textfile.h"

namespace {

// Negation wraps: -(-2147483648) stays -2147483648.
int32_t negate(int32_t v) {
  return static_cast<int32_t>(0u - static_cast<uint32_t>(v));
}

}  // namespace

void datamask_main(const std::vector<std::string>& argv) {
  datamask_run(rebuild_command_line(argv).c_str());
}

void datamask_run(const char* command_line) {
  std::vector<std::string> args = split_command_line(command_line);
  if (args.size() != 3) {
    write_str(outfile, kUsageLine, sizeof kUsageLine - 1);
    write_line_end(outfile);
    check(site_usage);
    end_process(1);
  }
  assign_file(infile, args[1]);
  assign_file(outfile, args[2]);
  reset_file(infile);
  check(site_open_input);
  rewrite_file(outfile);
  check(site_create_output);
  int32_t n = read_int(infile);
  check(site_read_count);
  write_int(outfile, negate(n ^ kByteMask));
  write_line_end(outfile);
  check(site_write_count);
  unsigned char marker[sizeof kMarkerWord - 1];
  for (size_t i = 0; i < sizeof marker; ++i)
    marker[i] = static_cast<unsigned char>(kMarkerWord[i] ^ kByteMask);
  write_str(outfile, marker, sizeof marker);
  write_line_end(outfile);
  check(site_write_marker);
  for (int32_t k = 0; k < n; ++k) {
    int32_t a = read_int(infile);
    int32_t b = read_int(infile);
    check(site_read_pair);  // once for both: no partial line for a bad pair
    write_int(outfile, a ^ kWordMask);
    write_byte(outfile, ' ');
    write_int(outfile, b ^ kWordMask);
    write_line_end(outfile);
    check(site_write_pair);
  }
  close_file(infile);
  check(site_close_input);
  close_file(outfile);
  check(site_close_output);
  end_process(0);
}
