#include "support/ScratchFolder.h"

#include <windows.h>

#include <atomic>

#include "common/UniqueHandle.h"

namespace {

void RemoveTree(const std::wstring& strPath) {
  WIN32_FIND_DATAW data{};
  HANDLE hFind = FindFirstFileW((strPath + L"\\*").c_str(), &data);
  if (hFind != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring strName = data.cFileName;
      if (strName == L"." || strName == L"..") {
        continue;
      }
      const std::wstring strChild = strPath + L"\\" + strName;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(strChild);
      } else {
        DeleteFileW(strChild.c_str());
      }
    } while (FindNextFileW(hFind, &data));
    FindClose(hFind);
  }
  RemoveDirectoryW(strPath.c_str());
}

}  // namespace

CScratchFolder::CScratchFolder() {
  static std::atomic<unsigned> s_nNext{0};
  wchar_t szTemp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, szTemp);
  m_strPath = std::wstring(szTemp) + L"nimbrel-test-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(++s_nNext);
  CreateDirectoryW(m_strPath.c_str(), nullptr);
}

CScratchFolder::~CScratchFolder() { RemoveTree(m_strPath); }

std::string CScratchFolder::Read(const std::wstring& strName) const {
  const HANDLE hFile = CreateFileW((m_strPath + L"\\" + strName).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
  const CUniqueHandle file(hFile == INVALID_HANDLE_VALUE ? nullptr : hFile);
  if (!file) {
    return {};
  }
  std::string text;
  char buffer[4096];
  DWORD cbRead = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &cbRead, nullptr) && cbRead > 0) {
    text.append(buffer, cbRead);
  }
  return text;
}

bool CScratchFolder::Exists(const std::wstring& strName) const {
  return GetFileAttributesW((m_strPath + L"\\" + strName).c_str()) != INVALID_FILE_ATTRIBUTES;
}
