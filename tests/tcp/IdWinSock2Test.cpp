// The run-time binding of the Windows socket library.
#include <gtest/gtest.h>

#include "tcp/IdComponent.h"
#include "tcp/IdException.h"
#include "tcp/IdStack.h"
#include "tcp/IdStackWindows.h"
#include "tcp/IdWinSock2.h"

namespace vantro {
namespace {

TEST(IdWinSock2, EntryPointsBindOnFirstCallAndRefuseWithoutTheLibrary) {
  TIdComponent holder;
  EXPECT_TRUE(TIdStackWindows::SocketLibStarted());
  EXPECT_EQ(GStack()->HostToNet16(0x1234), 0x3412);
  EXPECT_STREQ(Ws2ExportName(wsRowCount - 1), "WSARecvEx");
  UnloadLibrary();
  try {
    Ws2Entry<decltype(&::ntohs)>(wsNtohs);
    ADD_FAILURE() << "no exception";
  } catch (const EIdWS2StubError& e) {
    EXPECT_EQ(e.SystemErrorCode(), 10093);
    EXPECT_EQ(e.Title(), "Error on call Winsock2 library function ntohs");
    EXPECT_EQ(e.Message(), e.SystemErrorText() + ": " + e.Title());
  }
  WSADATA data{};
  EXPECT_EQ(LibraryStartup(0x0202, data), 0);
  EXPECT_EQ(GStack()->NetToHost16(0x1234), 0x3412);
  EXPECT_EQ(LibraryStartup(0x0202, data), 0);  // loaded: returns at once
}

}  // namespace
}  // namespace vantro
