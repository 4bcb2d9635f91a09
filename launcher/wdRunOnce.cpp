#include "launcher/wdRunOnce.h"

#include <atomic>

namespace vantro {

void TRunOnce::OpenInstanceSlot() {
  mapping_ = platform_.OpenMapping(kFileMapAllAccess, name_);
  if (mapping_ == 0) mapping_ = platform_.CreateMapping(sizeof(std::uint32_t), name_);
  if (mapping_ == 0) return;
  // A new paging-file section is zero-filled. Writing 0 into it here would undo
  // a claim another launcher made between our create and that write.
  view_ = static_cast<std::uint32_t*>(platform_.MapView(mapping_, kFileMapReadWrite));
  if (view_ == nullptr) {
    platform_.CloseMapping(mapping_);
    mapping_ = 0;
  }
}

WindowHandle TRunOnce::CheckPrevInstance(WindowHandle w) {
  return CheckPrevInstance([w] { return w; });
}

WindowHandle TRunOnce::CheckPrevInstance(const std::function<WindowHandle()>& applicationWindow) {
  if (view_ == nullptr) return 0;
  std::atomic_ref<std::uint32_t> slot(*view_);
  std::uint32_t held = slot.load();
  // One compare-and-exchange: of launchers starting together exactly one claims.
  if (held == 0 &&
      slot.compare_exchange_strong(held, static_cast<std::uint32_t>(applicationWindow()))) {
    return 0;
  }
  const auto running = static_cast<WindowHandle>(held);
  platform_.SendWindowMessage(running, kWmSysCommand, kScRestore, 0);
  const WindowHandle popup = platform_.LastActivePopup(running);
  if (popup != 0 && popup != running && platform_.WindowVisible(popup) &&
      platform_.WindowEnabled(popup)) {
    platform_.BringToForeground(popup);
  }
  running_ = popup != 0 ? running : 0;
  return popup;
}

void TRunOnce::CloseInstanceSlot() {
  if (view_ != nullptr) platform_.UnmapView(view_);
  if (mapping_ != 0) platform_.CloseMapping(mapping_);
  view_ = nullptr;
  mapping_ = 0;
}

}  // namespace vantro
