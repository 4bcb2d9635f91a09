#include "launcher/UpdateCheck.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/launcher/LauncherFixture.h"

namespace vantro::fake {
namespace {

using test::HttpAnswer;
using test::HttpScriptedServer;

constexpr const char kDownload[] = "http://www.vantro.example/ob";

class UpdateCheckTest : public LauncherTest {
 protected:
  // Runs the check against a server publishing body (or answering with reply).
  void Check(const std::string& reply) {
    HttpScriptedServer server({{reply}});
    TIdHTTP http;
    ConfigureUpdateClient(http);
    CheckForUpdate(platform, application, 0x42, http,
                   {server.Url("/kivra/Version.txt"), kDownload, ""});
  }
  void Publish(const std::string& body) { Check(HttpAnswer("HTTP/1.1 200 OK", body)); }
  bool Quiet() const { return platform.boxes.empty() && platform.shellExecuteRuns.empty(); }
};

TEST_F(UpdateCheckTest, OwnVersionAnywhereInTheTextKeepsItQuiet) {
  for (const char* text : {"1.0.2.0", "1.0.2.0 1.0.3.0", "11.0.2.0", "1.0.2.05", "v=1.0.2.0\r\n"}) {
    Publish(text);
    EXPECT_TRUE(Quiet()) << text;
  }
}

TEST_F(UpdateCheckTest, ANewerVersionIsToldAndTheDownloadPageOpened) {
  Publish("1.0.3.0");
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text, std::string(kNewVersionText) + "\r1.0.3.0");
  EXPECT_EQ(platform.boxes[0].caption, kApplicationTitle);
  ASSERT_EQ(platform.shellExecuteRuns.size(), 1u);
  EXPECT_EQ(platform.shellExecuteRuns[0],
            (std::vector<std::string>{"0x42", "open", kDownload, "", "", "1"}));
  // The box is closed before the page opens.
  EXPECT_LT(std::find(platform.calls.begin(), platform.calls.end(),
                      std::string("MessageBox ") + kNewVersionText + "\r1.0.3.0") -
                platform.calls.begin(),
            std::find_if(platform.calls.begin(), platform.calls.end(), [](const std::string& c) {
              return c.starts_with("ShellExecute ");
            }) - platform.calls.begin());
}

TEST_F(UpdateCheckTest, OtherCaseOrSeparatorsOrNothingDoNotMatch) {
  for (const char* text : {"1,0,2,0", "1.0.2", "", "V1.0.2.O"}) {
    platform.boxes.clear();
    Publish(text);
    ASSERT_EQ(platform.boxes.size(), 1u) << text;
    EXPECT_EQ(platform.boxes[0].text, std::string(kNewVersionText) + "\r" + text);
  }
  EXPECT_EQ(platform.shellExecuteRuns.size(), 4u);
}

TEST_F(UpdateCheckTest, WithoutAVersionResourceTheMessageComesEveryTime) {
  platform.hasVersion = false;
  EXPECT_EQ(GetFileVersionText(platform, "x.exe"), "");
  Publish("1.0.2.0");
  EXPECT_EQ(platform.boxes.size(), 1u);
}

TEST_F(UpdateCheckTest, VersionTextIsFourDecimalNumbers) {
  platform.fileVersionMS = 0x0001000A;
  platform.fileVersionLS = 0xFFFF0000;
  EXPECT_EQ(GetFileVersionText(platform, "x.exe"), "1.10.65535.0");
}

TEST_F(UpdateCheckTest, AFailingGetRaises) {
  EXPECT_THROW(Check(HttpAnswer("HTTP/1.1 404 Not Found", "gone")), EIdHTTPProtocolException);
  EXPECT_TRUE(Quiet());
}

TEST_F(UpdateCheckTest, TheClientWaitsForAnAnswerTenSecondsAtMost) {
  TIdHTTP http;
  ConfigureUpdateClient(http);
  EXPECT_EQ(http.ReadTimeout, 10000);
  EXPECT_EQ(http.Request().UserAgent, "Mozilla/3.0 (compatible; Vantro)");
  EXPECT_EQ(http.Request().Accept, "text/html, */*");
  EXPECT_EQ(http.Request().ContentType, "text/html");
  EXPECT_FALSE(http.HandleRedirects);
}

TEST(UpdateAddressesTest, EachHostGivesItsAddressesAndAnEmptyHostNone) {
  const UpdateAddresses both = UpdateAddressesFor("up.example:8080", "www.example");
  EXPECT_EQ(both.versionUrl, "http://up.example:8080/kivra/Version.txt");
  EXPECT_EQ(both.downloadUrl, "http://www.example/ob");
  EXPECT_EQ(both.clientPageUrl, "http://www.example/client/");
  const UpdateAddresses none = UpdateAddressesFor("", "");
  EXPECT_EQ(none.versionUrl + none.downloadUrl + none.clientPageUrl, "");
  EXPECT_EQ(UpdateAddressesFor("", "www.example").clientPageUrl, "http://www.example/client/");
  EXPECT_EQ(UpdateAddressesFor("up.example", "").downloadUrl, "");
}

TEST(UpdateAddressesTest, AHostsSchemeIsKeptAndNoneMeansHttp) {
  const struct {
    const char* host;
    const char* version;
    const char* page;
  } cases[] = {
      {"https://up.example", "https://up.example/kivra/Version.txt", "https://up.example/client/"},
      {"https://up.example:8443", "https://up.example:8443/kivra/Version.txt",
       "https://up.example:8443/client/"},
      {"HTTPS://Up.Example", "https://Up.Example/kivra/Version.txt", "https://Up.Example/client/"},
      {"http://up.example:81", "http://up.example:81/kivra/Version.txt",
       "http://up.example:81/client/"},
      {"up.example:443", "http://up.example:443/kivra/Version.txt",
       "http://up.example:443/client/"},
  };
  for (const auto& c : cases) {
    const UpdateAddresses addresses = UpdateAddressesFor(c.host, c.host);
    EXPECT_EQ(addresses.versionUrl, c.version) << c.host;
    EXPECT_EQ(addresses.clientPageUrl, c.page) << c.host;
    EXPECT_EQ(addresses.downloadUrl.substr(0, addresses.downloadUrl.size() - 3),
              addresses.clientPageUrl.substr(0, addresses.clientPageUrl.size() - 8))
        << c.host;
  }
  // Each host keeps its own scheme.
  const UpdateAddresses mixed = UpdateAddressesFor("https://up.example", "www.example");
  EXPECT_EQ(mixed.versionUrl, "https://up.example/kivra/Version.txt");
  EXPECT_EQ(mixed.downloadUrl, "http://www.example/ob");
}

class UpdateDuringSetUp : public LauncherTest {
 protected:
  void Create(TForm1& form) {
    form.AttachWindow(0x5000, 0x5010, 0x5020);
    application.Protect(form.Handle(), [&] { form.FormCreate(); });
  }
  // Where in the calls the client page was asked for.
  std::ptrdiff_t NavigateAt() const {
    return std::find(platform.calls.begin(), platform.calls.end(),
                     "Navigate " + UpdateTarget.clientPageUrl) -
           platform.calls.begin();
  }
};

TEST_F(UpdateDuringSetUp, TheBrowserGoesToTheClientPageOnceAfterTheCheckAndTheFolderBox) {
  HttpScriptedServer newer({{HttpAnswer("HTTP/1.1 200 OK", "1.0.3.0")}});
  UpdateTarget.versionUrl = newer.Url("/kivra/Version.txt");
  TForm1 form(platform, application, {"vantro.exe"});
  Create(form);
  ASSERT_EQ(platform.navigations.size(), 1u);
  EXPECT_EQ(platform.navigations[0].browser, 0x5020u);
  EXPECT_EQ(platform.navigations[0].url, UpdateTarget.clientPageUrl);
  const auto download = std::find(platform.calls.begin(), platform.calls.end(),
                                  "ShellExecute " + UpdateTarget.downloadUrl + " ");
  ASSERT_NE(download, platform.calls.end());
  EXPECT_LT(download - platform.calls.begin(), NavigateAt());
  // No game folder here: its box comes first, the page last.
  EXPECT_EQ(platform.calls.back(), "Navigate " + UpdateTarget.clientPageUrl);
  EXPECT_EQ(platform.calls[NavigateAt() - 1], std::string("MessageBox ") + kChooseFolderText);
}

TEST_F(UpdateDuringSetUp, AFailedCheckIsShownAndTheLinkStillLaunches) {
  HttpScriptedServer failing({{HttpAnswer("HTTP/1.1 503 Service Unavailable", "")}});
  UpdateTarget.versionUrl = failing.Url("/kivra/Version.txt");
  SetIni("lol_path", kGame);
  AddGameExe();
  TForm1 form(platform, application, {"vantro.exe", "kivra://8394 abc"});
  Create(form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text, "HTTP/1.1 503 Service Unavailable.");
  // The rest of the set-up goes on, the client page with it.
  EXPECT_EQ(platform.navigations.size(), 1u);
  EXPECT_LT(NavigateAt(), static_cast<std::ptrdiff_t>(platform.calls.size()));
  EXPECT_EQ(platform.boxes[0].flags, kMbOk | kMbIconError);
  EXPECT_NE(form.HandOffMessage(), 0u);
  EXPECT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_NE(Ini("cmd"), "<absent>");
}

TEST_F(UpdateDuringSetUp, AnHttpsHostThatRefusesTLSIsShownSendsNoRequestAndTheLinkLaunches) {
  // A plain HTTP server behind an https address, answering at once: the
  // handshake fails.
  test::ScriptedReply answer{HttpAnswer("HTTP/1.1 200 OK", "1.0.3.0")};
  answer.Early = true;
  answer.Close = true;
  HttpScriptedServer plain({answer});
  UpdateTarget.versionUrl =
      "https://127.0.0.1:" + std::to_string(plain.Port()) + "/kivra/Version.txt";
  SetIni("lol_path", kGame);
  AddGameExe();
  TForm1 form(platform, application, {"vantro.exe", "kivra://8394 abc"});
  Create(form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text.rfind("127.0.0.1: ", 0), 0u) << platform.boxes[0].text;
  EXPECT_EQ(platform.boxes[0].flags, kMbOk | kMbIconError);
  EXPECT_EQ(plain.Connections(), 1);
  for (const std::string& request : plain.Requests()) {
    EXPECT_EQ(request.find("Version.txt"), std::string::npos);
  }
  EXPECT_EQ(platform.shellExecuteExRuns.size(), 1u);
  EXPECT_EQ(platform.navigations.size(), 1u);
}

TEST_F(UpdateDuringSetUp, OnlyAnHttpsHostGoesThroughTheTLSHandler) {
  for (const bool secure : {false, true}) {
    TForm1 form(platform, application, {"vantro.exe"});
    UpdateTarget.versionUrl = std::string(secure ? "https" : "http") + "://up.example/";
    UseTLSForHttps(form.IdHTTP1, form.IdSSLIOHandlerSocket1, UpdateTarget);
    EXPECT_EQ(form.IdHTTP1.IOHandler() == &form.IdSSLIOHandlerSocket1, secure);
  }
}

TEST_F(UpdateDuringSetUp, ABuildWithoutServersAsksAndOpensNothingAndStillLaunches) {
  UpdateTarget = UpdateAddressesFor("", "");
  SetIni("lol_path", kGame);
  AddGameExe();
  TForm1 form(platform, application, {"vantro.exe", "kivra://x"});
  Create(form);
  EXPECT_EQ(updateServer.Connections(), 0);
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_TRUE(platform.navigations.empty());
  EXPECT_TRUE(platform.shellExecuteRuns.empty());
  EXPECT_EQ(platform.shellExecuteExRuns.size(), 1u);
}

TEST_F(UpdateDuringSetUp, ANewerVersionWithoutASiteIsToldWithoutADownloadPage) {
  HttpScriptedServer newer({{HttpAnswer("HTTP/1.1 200 OK", "1.0.3.0")}});
  UpdateTarget = {newer.Url("/kivra/Version.txt"), "", ""};
  TForm1 form(platform, application, {"vantro.exe"});
  Create(form);
  ASSERT_EQ(platform.boxes.size(), 2u);  // the newer version, then the folder
  EXPECT_EQ(platform.boxes[0].text, std::string(kNewVersionText) + "\r1.0.3.0");
  EXPECT_TRUE(platform.shellExecuteRuns.empty());
  EXPECT_TRUE(platform.navigations.empty());
}

}  // namespace
}  // namespace vantro::fake
