// The hook a GUI-keeping component plugs into blocking network waits. This
// program has no such component, so the hook stays inactive unless one is made.
#pragma once

#include "tcp/IdBaseComponent.h"

namespace vantro {

class TIdAntiFreezeBase : public TIdBaseComponent {
 public:
  TIdAntiFreezeBase();
  ~TIdAntiFreezeBase() override;

  bool Active = true;
  bool ApplicationHasPriority = true;
  int IdleTimeOut = 250;
  bool OnlyWhenIdle = true;

  virtual void ProcessMessages() = 0;

  static TIdAntiFreezeBase* ActiveHook();
  // An active hook exists and the caller is the main thread.
  static bool HookInUse();
  static void RunHook(bool idle, bool override = false);
};

}  // namespace vantro
