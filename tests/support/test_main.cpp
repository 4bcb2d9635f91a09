// Main of every test program. "--codepage=N" makes N the ANSI code page the
// double-byte aware text functions follow for the whole run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "rtl/AnsiText.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  constexpr const char kOption[] = "--codepage=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], kOption, sizeof kOption - 1) == 0) {
      vantro::SetAnsiCodePage(static_cast<unsigned>(std::atoi(argv[i] + sizeof kOption - 1)));
    }
  }
  return RUN_ALL_TESTS();
}
