#include "LogFile.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>
#include <memory>

#include "framework/UniqueHandle.h"

namespace {

struct CoTaskMemDeleter {
  void operator()(wchar_t* p) const noexcept { CoTaskMemFree(p); }
};

CUniqueHandle OpenForAppend(const std::wstring& strPath) noexcept {
  HANDLE hFile = CreateFileW(strPath.c_str(), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return CUniqueHandle(hFile == INVALID_HANDLE_VALUE ? nullptr : hFile);
}

std::string Utf8(std::wstring_view text) {
  const int cb = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
  if (cb <= 0) {
    return {};
  }
  std::string utf8(static_cast<std::size_t>(cb), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), cb,
                      nullptr, nullptr);
  return utf8;
}

std::wstring Stamped(std::wstring_view line) {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  wchar_t szTime[32] = {};
  std::swprintf(szTime, std::size(szTime), L"%04u-%02u-%02u %02u:%02u:%02u.%03u  ",
                unsigned{st.wYear}, unsigned{st.wMonth}, unsigned{st.wDay}, unsigned{st.wHour},
                unsigned{st.wMinute}, unsigned{st.wSecond}, unsigned{st.wMilliseconds});
  std::wstring text = szTime;
  text += line;
  text += L"\r\n";
  return text;
}

}  // namespace

std::wstring DefaultLogFolder() {
  wchar_t* pszPath = nullptr;
  const HRESULT hr =
      SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &pszPath);
  const std::unique_ptr<wchar_t, CoTaskMemDeleter> owner(pszPath);
  if (FAILED(hr) || pszPath == nullptr) {
    return {};
  }
  return std::wstring(pszPath) + L"\\Nimbrel";
}

CLogFile::CLogFile(std::wstring strFolder, std::uint64_t nMaxBytes)
    : m_strFolder(std::move(strFolder)), m_nMaxBytes(nMaxBytes) {
  if (!m_strFolder.empty()) {
    m_strPath = m_strFolder + L"\\" + kLogFileName;
  }
}

void CLogFile::Append(std::wstring_view line) noexcept {
  if (m_strPath.empty()) {
    return;
  }
  const std::string text = Utf8(Stamped(line));
  CUniqueHandle file = OpenForAppend(m_strPath);
  if (!file) {
    // The folder may not exist yet (first run) or may have been removed.
    CreateDirectoryW(m_strFolder.c_str(), nullptr);
    file = OpenForAppend(m_strPath);
  }
  if (!file) {
    return;
  }
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 &&
      static_cast<std::uint64_t>(size.QuadPart) + text.size() > m_nMaxBytes) {
    file.Reset();
    const std::wstring strPrevious = m_strFolder + L"\\" + kPreviousLogFileName;
    MoveFileExW(m_strPath.c_str(), strPrevious.c_str(), MOVEFILE_REPLACE_EXISTING);
    file = OpenForAppend(m_strPath);
    if (!file) {
      return;
    }
  }
  DWORD cbWritten = 0;
  WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &cbWritten, nullptr);
}
