#pragma once

#include "PObject.h"

// Base of objects that represent a flow of control. The process object is one; the runtime runs no
// threads through this class itself (workers are std::threads).
class PThread : public PObject {
  PCLASSINFO(PThread, PObject)
 public:
  ~PThread() override = default;

  // The body of the thread.
  virtual void Main() = 0;

 protected:
  PThread() = default;
};
