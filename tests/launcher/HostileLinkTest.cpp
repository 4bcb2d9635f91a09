// Links from any web page, run through Watching as a running launcher would
// run a handed-over link: every one either starts exactly the game command
// with its arguments inside the one pair of quotes, or is refused with the
// box, storing and starting nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/launcher/LauncherFixture.h"

namespace vantro::fake {
namespace {

using namespace std::string_literals;

struct HostileLink {
  const char* what;
  std::string link;
  unsigned codePage;
  bool refused;
  std::string arguments;  // what the game gets when not refused
};

std::vector<HostileLink> Corpus() {
  std::vector<HostileLink> corpus = {
      {"a plain link", "kivra://spectator|1.2.3.4:8088|key|1/", 1252, false,
       "spectator 1.2.3.4:8088 key 1"},
      {"command chaining", "kivra://x&&calc.exe", 1252, false, "x&&calc.exe"},
      {"pipe to a program", "kivra://x||calc", 1252, false, "x  calc"},
      {"redirections", "kivra://x>C:\\boot.ini<in", 1252, false, "x>C:\\boot.ini<in"},
      {"escapes and groups", "kivra://^(calc)^&", 1252, false, "^(calc)^&"},
      {"delimiters", "kivra://a,b;c=d e", 1252, false, "a,b;c=d e"},
      {"exclamation marks", "kivra://!PATH!", 1252, false, "!PATH!"},
      {"every meta-character at once", "kivra://&|<>^()@,;=!", 1252, false, "& <>^()@,;=!"},
      {"a closing quote", "kivra://x\" & calc & \"", 1252, true, ""},
      {"a lone quote", "kivra://\"", 1252, true, ""},
      {"a variable", "kivra://%COMSPEC%", 1252, true, ""},
      {"a percent sign", "kivra://100%", 1252, true, ""},
      {"a doubled percent", "kivra://%%", 1252, true, ""},
      {"a carriage return", "kivra://x\rcalc", 1252, true, ""},
      {"a line feed", "kivra://x\ncalc", 1252, true, ""},
      {"CR LF", "kivra://x\r\ncalc", 1252, true, ""},
      {"a tab", "kivra://x\tcalc", 1252, true, ""},
      {"a NUL byte", "kivra://x\0calc"s, 1252, true, ""},
      {"an escape byte", "kivra://\x1b[2J", 1252, true, ""},
      {"DEL", "kivra://x\x7f", 1252, true, ""},
      {"bytes above 0x7F", "kivra://caf\xe9 \xff", 1252, false, "caf\xe9 \xff"},
      {"a double-byte name", "kivra://\xd6\xd0\xce\xc4", 936, false, "\xd6\xd0\xce\xc4"},
      {"a trail byte equal to |", "kivra://\xb0\x7c|x", 936, false, "\xb0\x7c x"},
      {"a trail byte equal to ^", "kivra://\xb0\x5e", 936, false, "\xb0\x5e"},
      {"a lead byte before a quote", "kivra://\x81\"&calc", 936, true, ""},
      {"a lead byte before a percent", "kivra://\x81%PATH%", 936, true, ""},
      {"a lead byte before a line feed", "kivra://\x81\ncalc", 936, true, ""},
      {"a lead byte at the end", "kivra://x\x81", 936, false, "x\x81"},
      // Not a link at all: an empty "watch" read during another launcher's
      // rewrite of the file, or another program's text.
      {"an empty link", "", 1252, true, ""},
      {"only the prefix", "kivra://", 1252, false, ""},
      {"the scheme in capitals", "KIVRA://x|y", 1252, false, "x y"},
      {"a short link", "kivra:/", 1252, true, ""},
      {"another scheme", "http://evil.example/|x", 1252, true, ""},
      {"the scheme without its slashes", "kivra:x|y/zz", 1252, true, ""},
      {"two trailing slashes", "kivra://x//", 1252, false, "x/"},
      {"8 KiB of arguments", "kivra://" + std::string(8192, 'a'), 1252, false,
       std::string(8192, 'a')},
      {"8 KiB ending in a quote", "kivra://" + std::string(8191, 'a') + "\"", 1252, true, ""},
      // Escaped as Chromium-based browsers hand links over: decoded once,
      // then held to the same rules as the raw bytes.
      {"escaped bars", "kivra://spectator%7C1.2.3.4:80%7Ckey+/=%7C123%7CKR", 1252, false,
       "spectator 1.2.3.4:80 key+/= 123 KR"},
      {"lower-case hex", "kivra://a%7cb%3cc", 1252, false, "a b<c"},
      {"an escaped quote", "kivra://x%22&calc&%22", 1252, true, ""},
      {"an escaped percent", "kivra://%25PATH%25", 1252, true, ""},
      {"an escaped line feed", "kivra://x%0Acalc", 1252, true, ""},
      {"an escaped NUL", "kivra://x%00", 1252, true, ""},
      {"an escaped DEL", "kivra://x%7F", 1252, true, ""},
      {"an escape decoded only once", "kivra://%25%32%32", 1252, true, ""},
      {"a doubly escaped percent", "kivra://%2525", 1252, true, ""},
      {"a percent at the end", "kivra://x%", 1252, true, ""},
      {"one hex digit at the end", "kivra://x%4", 1252, true, ""},
      {"no hex digits", "kivra://x%zz", 1252, true, ""},
      {"escaped bytes above 0x7F", "kivra://caf%C3%A9%FF", 1252, false, "caf\xc3\xa9\xff"},
      {"an escaped trailing slash", "kivra://x%2F", 1252, false, "x"},
      {"an escaped prefix", "kivra%3A%2F%2Fx", 1252, false, "x"},
  };
  return corpus;
}

class HostileLinks : public LauncherTest {};

TEST_F(HostileLinks, EveryLinkStartsOnlyTheGameCommandOrNothing) {
  const std::vector<HostileLink> corpus = Corpus();
  ASSERT_GE(corpus.size(), 30u);
  for (const HostileLink& c : corpus) {
    SCOPED_TRACE(c.what);
    ScopedAnsiCodePage cp(c.codePage);
    platform.boxes.clear();
    platform.shellExecuteExRuns.clear();
    system.profiles.clear();
    GameFolder = kGame;
    AddGameExe();
    TForm1 form(platform, application, {"vantro.exe"});
    application.Protect(form.Handle(), [&] { form.Watching(c.link); });
    if (c.refused) {
      ASSERT_EQ(platform.boxes.size(), 1u);
      EXPECT_EQ(platform.boxes[0].text, kRefusedLinkText);
      EXPECT_TRUE(platform.shellExecuteExRuns.empty());
      EXPECT_EQ(Ini("cmd"), "<absent>");
      continue;
    }
    EXPECT_TRUE(platform.boxes.empty());
    ASSERT_EQ(platform.shellExecuteExRuns.size(), 1u);
    const ShellExecuteRecord& run = platform.shellExecuteExRuns[0];
    EXPECT_EQ(run.lpFile, "cmd");
    EXPECT_EQ(run.lpVerb, "runas");
    const std::string expected =
        "/c cd /d " + std::string(kGame) + kStart + c.arguments + "\" && exit";
    EXPECT_EQ(run.lpParameters, expected);
    EXPECT_EQ(Ini("cmd"), expected);
  }
}

}  // namespace
}  // namespace vantro::fake
