#pragma once

#include "runtime/PProcess.h"

// The dialer's process object: it exists so that the telephony stack and the sound layer find the
// process-wide object they need. It is never run as a thread.
class PWLibProcess : public PProcess {
  PCLASSINFO(PWLibProcess, PProcess)
 public:
  PWLibProcess() : PProcess("", "", 1, 0, ReleaseCode, 1) {}
  void Main() override {}
};
