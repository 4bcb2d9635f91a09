// The program's arguments, split from the command line the Windows way.
#pragma once

#include <string>
#include <vector>

namespace vantro {

// Item 0 is the program; then each argument. Bytes up to the space separate
// arguments; a double-quoted stretch may hold them and its quotes are dropped;
// there is no escape character.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace vantro
