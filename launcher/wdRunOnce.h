// The instance slot: a named 4-byte shared memory block holding the first
// instance's application window, so a later start knows whom to hand over to.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "launcher/LauncherTexts.h"
#include "launcher/Platform.h"

namespace vantro {

class TRunOnce {
 public:
  // name: the slot's name; only tests give another one.
  explicit TRunOnce(Platform& platform, std::string name = kInstanceSlotName)
      : platform_(platform), name_(std::move(name)) {}
  ~TRunOnce() { CloseInstanceSlot(); }
  TRunOnce(const TRunOnce&) = delete;
  TRunOnce& operator=(const TRunOnce&) = delete;

  // Opens the slot, creating it when no process has it yet.
  void OpenInstanceSlot();
  // 0 when the caller (application window w) runs as the first instance,
  // otherwise the running instance's window to hand the link to.
  WindowHandle CheckPrevInstance(WindowHandle w);
  // The same, asking for the caller's application window only when the slot
  // is free to claim: a start that hands its link over needs no window of its
  // own, and under Wine a process's first window costs it tens of ms.
  WindowHandle CheckPrevInstance(const std::function<WindowHandle()>& applicationWindow);
  // The running instance's application window CheckPrevInstance found in the
  // slot; 0 when the caller is the first instance.
  WindowHandle RunningApplicationWindow() const { return running_; }
  // Releases the view and the object; the slot's value stays.
  void CloseInstanceSlot();

 private:
  Platform& platform_;
  std::string name_;
  MappingHandle mapping_ = 0;
  std::uint32_t* view_ = nullptr;
  WindowHandle running_ = 0;
};

}  // namespace vantro
