#include "publisher/system/PublisherClaim.h"

#include "publisher/system/ObjectSecurity.h"
#include "publisher/system/PublisherNames.h"

namespace {

// A publisher that is just ending lets go of its two names one after the
// other; only a name that stays taken is somebody else's.
constexpr int kClaimTries = 10;
constexpr DWORD kClaimWaitMs = 30;

// What creating a named object told about the name: ours (new), somebody's
// (it existed, or exists as another kind of object, or may not be opened).
enum class NameState { New, Existing, Failed };

NameState StateOf(HANDLE hObject, DWORD dwError) noexcept {
  if (hObject != nullptr) {
    return dwError == ERROR_ALREADY_EXISTS ? NameState::Existing : NameState::New;
  }
  return dwError == ERROR_ACCESS_DENIED || dwError == ERROR_INVALID_HANDLE ? NameState::Existing
                                                                           : NameState::Failed;
}

}  // namespace

ClaimResult CPublisherClaim::Claim(const std::wstring& strSectionName) noexcept {
  Release();
  const std::wstring strEvent = PublisherStopEventName(strSectionName);
  const std::wstring strMutex = PublisherMutexName(strSectionName);
  ClaimResult result = ClaimResult::Failed;
  for (int nTry = 0; nTry < kClaimTries; ++nTry) {
    result = TryClaim(strEvent, strMutex);
    if (result != ClaimResult::Taken) {
      break;
    }
    Sleep(kClaimWaitMs);
  }
  return result;
}

ClaimResult CPublisherClaim::TryClaim(const std::wstring& strEvent,
                                      const std::wstring& strMutex) noexcept {
  m_strTakenName.clear();
  // Whatever rights this process has, the user's --stop can set the event
  // and see the mutex.
  CObjectSecurity eventSecurity;
  CObjectSecurity mutexSecurity;
  if (!eventSecurity.Build(kStopEventAccess) || !mutexSecurity.Build(kPublisherMutexAccess)) {
    m_dwError = eventSecurity.LastError() != ERROR_SUCCESS ? eventSecurity.LastError()
                                                           : mutexSecurity.LastError();
    return ClaimResult::Failed;
  }
  SetLastError(ERROR_SUCCESS);
  CUniqueHandle hStop(CreateEventW(eventSecurity.Attributes(), TRUE, FALSE, strEvent.c_str()));
  const DWORD dwEventError = GetLastError();
  SetLastError(ERROR_SUCCESS);
  CUniqueHandle hMutex(CreateMutexW(mutexSecurity.Attributes(), FALSE, strMutex.c_str()));
  const DWORD dwMutexError = GetLastError();

  const NameState event = StateOf(hStop.Get(), dwEventError);
  const NameState mutex = StateOf(hMutex.Get(), dwMutexError);
  if (event == NameState::Failed || mutex == NameState::Failed) {
    m_dwError = event == NameState::Failed ? dwEventError : dwMutexError;
    return ClaimResult::Failed;
  }
  if (event == NameState::Existing && mutex == NameState::Existing) {
    return ClaimResult::AlreadyRunning;
  }
  if (event == NameState::Existing || mutex == NameState::Existing) {
    m_strTakenName = event == NameState::Existing ? strEvent : strMutex;
    return ClaimResult::Taken;
  }
  m_hStop = std::move(hStop);
  m_hMutex = std::move(hMutex);
  m_dwError = ERROR_SUCCESS;
  return ClaimResult::Claimed;
}

void CPublisherClaim::Release() noexcept {
  m_hStop.Reset();
  m_hMutex.Reset();
}
