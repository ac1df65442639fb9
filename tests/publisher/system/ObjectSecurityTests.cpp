// The publisher's named objects when it runs elevated: the section, the stop
// event and the mutex grant the interactive user what the band and --stop
// need, nothing more, and carry a label no higher than medium.
//
// Wine runs every program with a full administrator's token (high integrity),
// but gives objects made without a descriptor no security at all, and does
// not apply a token's default list. So the tests make the objects while
// impersonating a token whose defaults are an elevated administrator's
// (Administrators and SYSTEM only), then act as the same user unelevated: a
// token in which Administrators only denies. Wine checks access against the
// lists as Windows does; it keeps no mandatory label on an object, so the
// label is read from the descriptor the objects are made with, and from the
// object only where the platform keeps it.

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "publisher/system/ObjectSecurity.h"
#include "publisher/system/PublisherClaim.h"
#include "publisher/system/PublisherNames.h"
#include "publisher/system/PublisherStop.h"
#include "support/TestRecords.h"
#include "publisher/record/TrafficSectionWriter.h"
#include "common/UniqueHandle.h"
#include "support/RecordingSink.h"
#include "support/SectionReader.h"

namespace {

constexpr wchar_t kElevatedDefaults[] = L"D:(A;;GA;;;BA)(A;;GA;;;SY)";

struct LocalFreeTraits : TNullHandle<HLOCAL> {
  static void Close(Handle h) noexcept { LocalFree(h); }
};
using CLocalMemory = TUniqueHandle<LocalFreeTraits>;

// This thread acts with the token until the object goes.
class CImpersonation {
 public:
  explicit CImpersonation(HANDLE hToken) noexcept
      : m_bActive(hToken != nullptr && SetThreadToken(nullptr, hToken) != FALSE) {}
  ~CImpersonation() {
    if (m_bActive) {
      RevertToSelf();
    }
  }
  CImpersonation(const CImpersonation&) = delete;
  CImpersonation& operator=(const CImpersonation&) = delete;
  [[nodiscard]] bool IsActive() const noexcept { return m_bActive; }

 private:
  bool m_bActive;
};

CUniqueHandle ProcessToken() {
  CUniqueHandle hToken;
  EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, hToken.Put()));
  return hToken;
}

// The user's token as an elevated process has it: new objects by default
// grant Administrators and SYSTEM only.
CUniqueHandle ElevatedToken() {
  const CUniqueHandle hProcess = ProcessToken();
  CUniqueHandle hToken;
  if (!DuplicateTokenEx(hProcess.Get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                        TokenImpersonation, hToken.Put())) {
    return {};
  }
  PSECURITY_DESCRIPTOR pDescriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kElevatedDefaults, SDDL_REVISION_1,
                                                            &pDescriptor, nullptr)) {
    return {};
  }
  const CLocalMemory descriptor(pDescriptor);
  BOOL bPresent = FALSE;
  BOOL bDefaulted = FALSE;
  PACL pDacl = nullptr;
  GetSecurityDescriptorDacl(pDescriptor, &bPresent, &pDacl, &bDefaulted);
  TOKEN_DEFAULT_DACL defaults{pDacl};
  if (!SetTokenInformation(hToken.Get(), TokenDefaultDacl, &defaults, sizeof(defaults))) {
    return {};
  }
  return hToken;
}

// The same user unelevated: the Administrators group only denies. So does
// the group that owns the new objects (an elevated token's objects belong
// to Administrators; Wine's, which cannot be changed, to another group), so
// that the owner's implicit rights do not count either.
CUniqueHandle UnelevatedToken() {
  const CUniqueHandle hProcess = ProcessToken();
  BYTE admins[SECURITY_MAX_SID_SIZE];
  DWORD cbAdmins = sizeof(admins);
  BYTE owner[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_OWNER)];
  DWORD cbOwner = sizeof(owner);
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &cbAdmins) ||
      !GetTokenInformation(hProcess.Get(), TokenOwner, owner, sizeof(owner), &cbOwner)) {
    return {};
  }
  SID_AND_ATTRIBUTES denyOnly[] = {{admins, 0}, {reinterpret_cast<TOKEN_OWNER*>(owner)->Owner, 0}};
  CUniqueHandle hRestricted;
  CUniqueHandle hToken;
  if (!CreateRestrictedToken(hProcess.Get(), 0, 2, denyOnly, 0, nullptr, 0, nullptr,
                             hRestricted.Put()) ||
      !DuplicateToken(hRestricted.Get(), SecurityImpersonation, hToken.Put())) {
    return {};
  }
  return hToken;
}

std::wstring SidText(PSID pSid) {
  LPWSTR pszSid = nullptr;
  if (!ConvertSidToStringSidW(pSid, &pszSid)) {
    return L"?";
  }
  const CLocalMemory text(pszSid);
  return pszSid;
}

struct AceSeen {
  BYTE m_nType;
  DWORD m_dwMask;
  std::wstring m_strSid;
};

std::vector<AceSeen> AcesOf(PACL pAcl) {
  std::vector<AceSeen> aces;
  for (DWORD i = 0; pAcl != nullptr && i < pAcl->AceCount; ++i) {
    void* pAce = nullptr;
    if (!GetAce(pAcl, i, &pAce)) {
      break;
    }
    // Allowed, denied and label entries all start with header, mask, SID.
    const auto* pAllowed = static_cast<const ACCESS_ALLOWED_ACE*>(pAce);
    aces.push_back({pAllowed->Header.AceType, pAllowed->Mask,
                    SidText(const_cast<DWORD*>(&pAllowed->SidStart))});
  }
  return aces;
}

// The object's list of who may do what, as anyone allowed to read it sees it.
std::vector<AceSeen> DaclOf(HANDLE hObject) {
  PACL pDacl = nullptr;
  PSECURITY_DESCRIPTOR pDescriptor = nullptr;
  if (GetSecurityInfo(hObject, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                      &pDacl, nullptr, &pDescriptor) != ERROR_SUCCESS) {
    return {};
  }
  const CLocalMemory descriptor(pDescriptor);
  return AcesOf(pDacl);
}

struct PublisherObjects {
  std::wstring m_strName = UniqueSectionName(L"Security");
  CPublisherClaim m_claim;
  CTrafficSectionWriter m_writer;
};

// Claims the names and opens the section as an elevated publisher does.
void MakeAsElevated(PublisherObjects& objects) {
  const CUniqueHandle hElevated = ElevatedToken();
  ASSERT_TRUE(hElevated);
  const CImpersonation elevated(hElevated.Get());
  ASSERT_TRUE(elevated.IsActive());
  ASSERT_EQ(objects.m_claim.Claim(objects.m_strName), ClaimResult::Claimed);
  ASSERT_EQ(objects.m_writer.Open(objects.m_strName), SectionOpenResult::Opened);
}

TEST(PublisherObjectSecurity, EachObjectGrantsItsDefaultsAndTheInteractiveUserExactlyWhatIsNeeded) {
  PublisherObjects objects;
  ASSERT_NO_FATAL_FAILURE(MakeAsElevated(objects));
  const CUniqueHandle hSection(OpenFileMappingW(READ_CONTROL, FALSE, objects.m_strName.c_str()));
  const CUniqueHandle hMutex(
      OpenMutexW(READ_CONTROL, FALSE, PublisherMutexName(objects.m_strName).c_str()));
  ASSERT_TRUE(hSection);
  ASSERT_TRUE(hMutex);

  const struct {
    const char* pszWhat;
    HANDLE hObject;
    DWORD dwInteractive;
  } kObjects[] = {
      {"section", hSection.Get(), SECTION_QUERY | SECTION_MAP_READ},
      {"stop event", objects.m_claim.StopEvent(), SYNCHRONIZE | EVENT_MODIFY_STATE},
      {"mutex", hMutex.Get(), SYNCHRONIZE},
  };
  for (const auto& object : kObjects) {
    const std::vector<AceSeen> aces = DaclOf(object.hObject);
    ASSERT_EQ(aces.size(), 3u) << object.pszWhat;
    // The defaults first, in their order, then the interactive user's.
    EXPECT_EQ(aces[0].m_strSid, L"S-1-5-32-544") << object.pszWhat;
    EXPECT_EQ(aces[1].m_strSid, L"S-1-5-18") << object.pszWhat;
    EXPECT_EQ(aces[2].m_strSid, L"S-1-5-4") << object.pszWhat;
    EXPECT_EQ(aces[2].m_nType, ACCESS_ALLOWED_ACE_TYPE) << object.pszWhat;
    EXPECT_EQ(aces[2].m_dwMask, object.dwInteractive) << object.pszWhat;
  }
}

TEST(PublisherObjectSecurity, TheUserUnelevatedReadsTheSectionAndStopsThePublisherButCanDoNoMore) {
  PublisherObjects objects;
  ASSERT_NO_FATAL_FAILURE(MakeAsElevated(objects));
  objects.m_writer.Publish(MakeTrafficRecord(77));
  const CUniqueHandle hUnelevated = UnelevatedToken();
  ASSERT_TRUE(hUnelevated);
  {
    const CImpersonation unelevated(hUnelevated.Get());
    ASSERT_TRUE(unelevated.IsActive());
    const std::wstring& strName = objects.m_strName;

    // Neither the section nor the names can be changed or taken over.
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(CUniqueHandle(OpenFileMappingW(FILE_MAP_WRITE, FALSE, strName.c_str())));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(CUniqueHandle(OpenFileMappingW(WRITE_DAC, FALSE, strName.c_str())));
    const std::wstring strEvent = PublisherStopEventName(strName);
    const std::wstring strMutex = PublisherMutexName(strName);
    EXPECT_FALSE(CUniqueHandle(OpenEventW(EVENT_ALL_ACCESS, FALSE, strEvent.c_str())));
    EXPECT_FALSE(CUniqueHandle(OpenEventW(WRITE_DAC, FALSE, strEvent.c_str())));
    EXPECT_FALSE(CUniqueHandle(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, strMutex.c_str())));
    // A second publisher of the user's is told that one runs.
    CPublisherClaim second;
    EXPECT_EQ(second.Claim(strName), ClaimResult::AlreadyRunning);

    // The band's own poll takes the record.
    TrafficState state;
    EXPECT_TRUE(PollLikeTheBand(strName, state));
    EXPECT_EQ(state.m_nLastSequence, 77u);

    // --stop, as the user runs it, against the publisher's own loop, which
    // lets go of everything once told to stop.
    const std::jthread publisher([&] {
      WaitForSingleObject(objects.m_claim.StopEvent(), 20'000);
      objects.m_writer.Close();
      objects.m_claim.Release();
    });
    CRecordingSink output;
    EXPECT_EQ(StopRunningPublisher(strName, output), 0);
    ASSERT_EQ(output.m_lines.size(), 1u);
    EXPECT_EQ(output.m_lines[0].m_text, L"nimbrel-publisher: the running publisher has stopped");
  }
  EXPECT_FALSE(ReadSection(objects.m_strName));
}

std::vector<AceSeen> LabelOf(CObjectSecurity& security) {
  BOOL bPresent = FALSE;
  BOOL bDefaulted = FALSE;
  PACL pSacl = nullptr;
  if (!GetSecurityDescriptorSacl(security.Attributes()->lpSecurityDescriptor, &bPresent, &pSacl,
                                 &bDefaulted) ||
      !bPresent) {
    return {};
  }
  return AcesOf(pSacl);
}

TEST(PublisherObjectSecurity, TheLabelIsMediumForAnElevatedPublisherAndForbidsWritesFromBelow) {
  // Wine's token is an elevated administrator's: high. (Lower tokens get
  // their own level: ObjectLabel.h; Wine cannot lower a token's level.)
  for (const DWORD dwAccess : {kSectionReaderAccess, kStopEventAccess, kPublisherMutexAccess}) {
    CObjectSecurity security;
    ASSERT_TRUE(security.Build(dwAccess));
    const std::vector<AceSeen> label = LabelOf(security);
    ASSERT_EQ(label.size(), 1u);
    EXPECT_EQ(label[0].m_nType, SYSTEM_MANDATORY_LABEL_ACE_TYPE);
    EXPECT_EQ(label[0].m_strSid, L"S-1-16-8192");
    EXPECT_EQ(label[0].m_dwMask, static_cast<DWORD>(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP));
  }

  // The label the object keeps, where the platform keeps one (Windows does,
  // Wine does not).
  PublisherObjects objects;
  ASSERT_EQ(objects.m_claim.Claim(objects.m_strName), ClaimResult::Claimed);
  PACL pSacl = nullptr;
  PSECURITY_DESCRIPTOR pDescriptor = nullptr;
  ASSERT_EQ(
      GetSecurityInfo(objects.m_claim.StopEvent(), SE_KERNEL_OBJECT, LABEL_SECURITY_INFORMATION,
                      nullptr, nullptr, nullptr, &pSacl, &pDescriptor),
      static_cast<DWORD>(ERROR_SUCCESS));
  const CLocalMemory descriptor(pDescriptor);
  const std::vector<AceSeen> kept = AcesOf(pSacl);
  if (kept.empty()) {
    std::printf("the platform keeps no label on the stop event\n");
    return;
  }
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].m_strSid, L"S-1-16-8192");
}

}  // namespace
