#include "launcher/CommandLine.h"

namespace vantro {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::vector<std::string> items;
  std::size_t i = 0;
  const std::size_t n = commandLine.size();
  auto separator = [&](std::size_t at) {
    return static_cast<unsigned char>(commandLine[at]) <= ' ';
  };
  for (;;) {
    while (i < n && separator(i))
      ++i;
    if (i == n) break;
    std::string item;
    bool quoted = false;
    while (i < n && (quoted || !separator(i))) {
      if (commandLine[i] == '"') {
        quoted = !quoted;
      } else {
        item.push_back(commandLine[i]);
      }
      ++i;
    }
    items.push_back(std::move(item));
  }
  return items;
}

}  // namespace vantro
