// Sees every block a connection receives or sends and may rewrite it in place;
// intercepts chain through Intercept (the nested one).
#pragma once

#include <functional>

#include "rtl/Streams.h"
#include "tcp/IdBaseComponent.h"

namespace vantro {

class TIdConnectionIntercept;
class TIdComponent;

using TIdInterceptNotifyEvent = std::function<void(TIdConnectionIntercept& sender)>;
using TIdInterceptStreamEvent =
    std::function<void(TIdConnectionIntercept& sender, TStream& stream)>;

class TIdConnectionIntercept : public TIdBaseComponent {
 public:
  TIdInterceptNotifyEvent OnConnect;
  TIdInterceptNotifyEvent OnDisconnect;
  TIdInterceptStreamEvent OnReceive;
  TIdInterceptStreamEvent OnSend;

  TIdComponent* Connection() const { return connection_; }
  TIdConnectionIntercept* Intercept() const { return nested_; }
  void SetIntercept(TIdConnectionIntercept* nested);
  bool IsClient() const { return isClient_; }

  virtual void NestedConnect(TIdComponent& connection);
  virtual void NestedDisconnect();
  virtual void NestedReceive(TStream& stream);
  virtual void NestedSend(TStream& stream);
  virtual void Connect(TIdComponent& connection);
  virtual void Disconnect();
  virtual void Receive(TStream& stream);
  virtual void Send(TStream& stream);

 protected:
  void Notification(TIdBaseComponent* removed) override;

 private:
  TIdComponent* connection_ = nullptr;
  TIdConnectionIntercept* nested_ = nullptr;
  bool isClient_ = true;
};

}  // namespace vantro
