// Root of the networking components: owned by value or unique_ptr, never copied.
// A component that keeps a plain pointer to another asks to be told when that
// one is destroyed (FreeNotification), so the pointer never dangles.
#pragma once

#include <algorithm>
#include <vector>

namespace vantro {

class TIdBaseComponent {
 public:
  TIdBaseComponent() = default;
  TIdBaseComponent(const TIdBaseComponent&) = delete;
  TIdBaseComponent& operator=(const TIdBaseComponent&) = delete;
  virtual ~TIdBaseComponent() {
    // A copy: a watcher's Notification may unregister itself while we walk.
    for (TIdBaseComponent* watched : links_)
      Erase(watched->watchers_, this);
    for (TIdBaseComponent* watcher : std::vector<TIdBaseComponent*>(watchers_)) {
      Erase(watcher->links_, this);
      watcher->Notification(this);
    }
  }

  // watcher->Notification(this) runs when this component is destroyed.
  void FreeNotification(TIdBaseComponent* watcher) {
    if (watcher == nullptr || watcher == this) return;
    AddOnce(watchers_, watcher);
    AddOnce(watcher->links_, this);
  }
  void RemoveFreeNotification(TIdBaseComponent* watcher) {
    if (watcher == nullptr) return;
    Erase(watchers_, watcher);
    Erase(watcher->links_, this);
  }

 protected:
  virtual void Notification(TIdBaseComponent* removed) { (void)removed; }

 private:
  static void AddOnce(std::vector<TIdBaseComponent*>& list, TIdBaseComponent* c) {
    if (std::find(list.begin(), list.end(), c) == list.end()) list.push_back(c);
  }
  static void Erase(std::vector<TIdBaseComponent*>& list, TIdBaseComponent* c) {
    list.erase(std::remove(list.begin(), list.end(), c), list.end());
  }
  std::vector<TIdBaseComponent*> watchers_;  // told when this one goes
  std::vector<TIdBaseComponent*> links_;     // components this one watches
};

}  // namespace vantro
