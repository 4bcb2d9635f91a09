// Base of objects that copy their content into one another by Assign. A class
// that can take another's content overrides AssignTo; anything else refuses.
#pragma once

#include <string>

#include "rtl/Convert.h"

namespace vantro {

class TPersistent {
 public:
  TPersistent() = default;
  TPersistent(const TPersistent&) = delete;
  TPersistent& operator=(const TPersistent&) = delete;
  virtual ~TPersistent() = default;

  virtual std::string ClassName() const = 0;
  void Assign(const TPersistent& source) { source.AssignTo(*this); }

 protected:
  virtual void AssignTo(TPersistent& dest) const {
    throw EConvertError("Cannot assign a " + ClassName() + " to a " + dest.ClassName());
  }
};

}  // namespace vantro
