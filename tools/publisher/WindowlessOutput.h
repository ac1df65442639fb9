#pragma once
// The windowless publisher's lines: each one to the debugger output, and to
// standard output or standard error too when the caller handed those over
// (a script redirecting them, or a test).

#include "PublisherOutput.h"

class CWindowlessSink final : public COutputSink {
 protected:
  void Write(OutputStream stream, std::wstring_view line) noexcept override;
};
