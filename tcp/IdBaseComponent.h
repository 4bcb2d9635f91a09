// Root of the networking components: owned by value or unique_ptr, never copied.
#pragma once

namespace vantro {

class TIdBaseComponent {
 public:
  TIdBaseComponent() = default;
  TIdBaseComponent(const TIdBaseComponent&) = delete;
  TIdBaseComponent& operator=(const TIdBaseComponent&) = delete;
  virtual ~TIdBaseComponent() = default;
};

}  // namespace vantro
