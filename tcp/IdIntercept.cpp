#include "tcp/IdIntercept.h"

namespace vantro {

void TIdConnectionIntercept::SetIntercept(TIdConnectionIntercept* nested) {
  if (nested_ != nullptr) nested_->RemoveFreeNotification(this);
  nested_ = nested;
  if (nested_ != nullptr) nested_->FreeNotification(this);
}

void TIdConnectionIntercept::Notification(TIdBaseComponent* removed) {
  if (removed == nested_) nested_ = nullptr;
}

void TIdConnectionIntercept::NestedConnect(TIdComponent& connection) {
  if (nested_ != nullptr) nested_->Connect(connection);
}

void TIdConnectionIntercept::NestedDisconnect() {
  if (nested_ != nullptr) nested_->Disconnect();
}

void TIdConnectionIntercept::NestedReceive(TStream& stream) {
  if (nested_ != nullptr) nested_->Receive(stream);
}

void TIdConnectionIntercept::NestedSend(TStream& stream) {
  if (nested_ != nullptr) nested_->Send(stream);
}

void TIdConnectionIntercept::Connect(TIdComponent& connection) {
  connection_ = &connection;
  if (OnConnect) OnConnect(*this);
  NestedConnect(connection);
}

void TIdConnectionIntercept::Disconnect() {
  NestedDisconnect();
  if (OnDisconnect) OnDisconnect(*this);
  connection_ = nullptr;
}

void TIdConnectionIntercept::Receive(TStream& stream) {
  NestedReceive(stream);
  if (OnReceive) OnReceive(*this, stream);
  stream.SetPosition(0);
}

void TIdConnectionIntercept::Send(TStream& stream) {
  if (OnSend) OnSend(*this, stream);
  stream.SetPosition(0);
  NestedSend(stream);
}

}  // namespace vantro
