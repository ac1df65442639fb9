#pragma once
// A fresh folder under %TEMP% for one test (a log folder the windowless
// publisher is pointed at), removed with everything in it afterwards.

#include <string>

class CScratchFolder {
 public:
  CScratchFolder();
  CScratchFolder(const CScratchFolder&) = delete;
  CScratchFolder& operator=(const CScratchFolder&) = delete;
  ~CScratchFolder();

  [[nodiscard]] const std::wstring& Path() const noexcept { return m_strPath; }
  // A file in the folder, as bytes; empty when it is not there.
  [[nodiscard]] std::string Read(const std::wstring& strName) const;
  [[nodiscard]] bool Exists(const std::wstring& strName) const;

 private:
  std::wstring m_strPath;
};
