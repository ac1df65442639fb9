#include "publisher/output/LogFile.h"

#include <windows.h>
#include <shlobj.h>

#include <cwchar>
#include <memory>

#include "publisher/system/SystemMessage.h"
#include "common/UniqueHandle.h"

namespace {

struct CoTaskMemDeleter {
  void operator()(wchar_t* p) const noexcept { CoTaskMemFree(p); }
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

CUniqueHandle OpenLog(const std::wstring& strPath, DWORD dwAccess, DWORD dwDisposition) noexcept {
  HANDLE hFile = CreateFileW(strPath.c_str(), dwAccess, kShareAll, nullptr, dwDisposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  return CUniqueHandle(hFile == INVALID_HANDLE_VALUE ? nullptr : hFile);
}

CUniqueHandle OpenForAppend(const std::wstring& strPath) noexcept {
  return OpenLog(strPath, FILE_APPEND_DATA, OPEN_ALWAYS);
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

void WriteText(HANDLE hFile, const std::string& text) noexcept {
  DWORD cbWritten = 0;
  WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &cbWritten, nullptr);
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

void CLogFile::SayOnce(bool& bSaid, const std::wstring& strLine) noexcept {
  if (bSaid) {
    return;
  }
  bSaid = true;
  OutputDebugStringW((strLine + L"\n").c_str());
}

bool CLogFile::Restart(unsigned long dwMoveError) noexcept {
  const CUniqueHandle file = OpenLog(m_strPath, GENERIC_WRITE, TRUNCATE_EXISTING);
  const DWORD dwError = GetLastError();
  const std::wstring strWhy = L"nimbrel-publisher: the full log could not be kept as " +
                              std::wstring(kPreviousLogFileName) + L" (" +
                              SystemMessage(dwMoveError) + L")";
  if (!file) {
    SayOnce(m_bRotationTroubleSaid, strWhy + L" nor emptied (" + SystemMessage(dwError) + L"); " +
                                        m_strPath + L" gets no more lines until it can be");
    return false;
  }
  const std::wstring strLine = strWhy + L"; it was emptied, and the lines before this are gone";
  SayOnce(m_bRotationTroubleSaid, strLine);
  WriteText(file.Get(), Utf8(Stamped(strLine)));
  return true;
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
    SayOnce(m_bOpenTroubleSaid, L"nimbrel-publisher: cannot write to " + m_strPath + L" (" +
                                    SystemMessage(GetLastError()) +
                                    L"); its lines go to the debugger output only");
    return;
  }
  m_bOpenTroubleSaid = false;
  LARGE_INTEGER size{};
  const bool bSized = GetFileSizeEx(file.Get(), &size) != FALSE;
  const std::uint64_t cbAfter = static_cast<std::uint64_t>(size.QuadPart) + text.size();
  if (!bSized || size.QuadPart == 0 || cbAfter <= m_nMaxBytes) {
    WriteText(file.Get(), text);
    return;
  }

  if (!m_bMayRotate) {
    // The running publisher moves it aside with its next line; until then
    // another writer adds what it has to say, within bounds.
    if (cbAfter <= 2 * m_nMaxBytes) {
      WriteText(file.Get(), text);
      return;
    }
    SayOnce(m_bRotationTroubleSaid,
            L"nimbrel-publisher: " + m_strPath +
                L" is full, and only the running publisher starts a new one; this program's "
                L"lines go to the debugger output only");
    return;
  }
  file.Reset();
  const std::wstring strPrevious = m_strFolder + L"\\" + kPreviousLogFileName;
  if (MoveFileExW(m_strPath.c_str(), strPrevious.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    m_bRotationTroubleSaid = false;
  } else if (!Restart(GetLastError())) {
    return;
  }
  file = OpenForAppend(m_strPath);
  if (file) {
    WriteText(file.Get(), text);
  }
}
