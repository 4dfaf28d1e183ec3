// The scrambler's command line: one string, as Windows keeps it, split into
// tokens by the scrambler's own rules.
#pragma once

#include <string>
#include <vector>

// The platform's own command line, or one rebuilt from argv where the
// platform keeps none.
std::string platform_command_line(int argc, char** argv);
// argv joined with blanks; an element that would not stay one token is quoted.
std::string rebuild_command_line(const std::vector<std::string>& argv);
// Tokens up to (not including) the first empty one; [0] is the program name.
std::vector<std::string> split_command_line(const char* line);
