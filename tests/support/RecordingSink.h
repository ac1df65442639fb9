#pragma once
// Keeps the publisher's lines (after the sink has split them) for a test to
// look at. Read them only once the code under test has finished writing.

#include <string>
#include <vector>

#include "publisher/output/PublisherOutput.h"

struct RecordedLine {
  OutputStream m_stream;
  std::wstring m_text;
  bool operator==(const RecordedLine&) const = default;
};

class CRecordingSink final : public COutputSink {
 public:
  std::vector<RecordedLine> m_lines;

 protected:
  void Write(OutputStream stream, std::wstring_view line) noexcept override {
    m_lines.push_back({stream, std::wstring(line)});
  }
};
