#include "publisher/system/ObjectSecurity.h"

#include "publisher/system/ObjectLabel.h"
#include "common/UniqueHandle.h"

namespace {

// The token new objects take their defaults from.
CUniqueHandle EffectiveToken() noexcept {
  CUniqueHandle hToken;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, hToken.Put())) {
    return hToken;
  }
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, hToken.Put())) {
    return hToken;
  }
  return {};
}

// A token property of any length; empty when it cannot be read.
std::vector<BYTE> TokenProperty(HANDLE hToken, TOKEN_INFORMATION_CLASS what) noexcept {
  DWORD cbNeeded = 0;
  GetTokenInformation(hToken, what, nullptr, 0, &cbNeeded);
  if (cbNeeded == 0) {
    return {};
  }
  std::vector<BYTE> buffer(cbNeeded);
  if (!GetTokenInformation(hToken, what, buffer.data(), cbNeeded, &cbNeeded)) {
    return {};
  }
  return buffer;
}

struct WellKnownSid {
  BYTE m_bytes[SECURITY_MAX_SID_SIZE] = {};
  [[nodiscard]] bool Make(WELL_KNOWN_SID_TYPE type) noexcept {
    DWORD cb = sizeof(m_bytes);
    return CreateWellKnownSid(type, nullptr, m_bytes, &cb) != FALSE;
  }
  [[nodiscard]] PSID Get() noexcept { return m_bytes; }
};

// The token's integrity level as a RID; a token that has none counts as medium.
DWORD IntegrityRid(HANDLE hToken) noexcept {
  const std::vector<BYTE> label = TokenProperty(hToken, TokenIntegrityLevel);
  if (label.size() < sizeof(TOKEN_MANDATORY_LABEL)) {
    return SECURITY_MANDATORY_MEDIUM_RID;
  }
  const PSID pSid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
  if (pSid == nullptr || !IsValidSid(pSid) || *GetSidSubAuthorityCount(pSid) == 0) {
    return SECURITY_MANDATORY_MEDIUM_RID;
  }
  return *GetSidSubAuthority(pSid, *GetSidSubAuthorityCount(pSid) - 1u);
}

// S-1-16-RID.
struct LabelSid {
  BYTE m_bytes[SECURITY_MAX_SID_SIZE] = {};
  [[nodiscard]] bool Make(DWORD nRid) noexcept {
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
    if (!InitializeSid(m_bytes, &authority, 1)) {
      return false;
    }
    *GetSidSubAuthority(m_bytes, 0) = nRid;
    return true;
  }
  [[nodiscard]] PSID Get() noexcept { return m_bytes; }
};

}  // namespace

bool CObjectSecurity::Fail() noexcept {
  m_dwError = GetLastError();
  if (m_dwError == ERROR_SUCCESS) {
    m_dwError = ERROR_INVALID_SECURITY_DESCR;
  }
  return false;
}

bool CObjectSecurity::Build(DWORD dwInteractiveAccess) noexcept {
  m_dwError = ERROR_SUCCESS;
  const CUniqueHandle hToken = EffectiveToken();
  if (!hToken) {
    return Fail();
  }
  const std::vector<BYTE> defaults = TokenProperty(hToken.Get(), TokenDefaultDacl);
  if (defaults.size() < sizeof(TOKEN_DEFAULT_DACL)) {
    return Fail();
  }
  const PACL pDefault = reinterpret_cast<const TOKEN_DEFAULT_DACL*>(defaults.data())->DefaultDacl;

  WellKnownSid interactive;
  LabelSid label;
  if (!interactive.Make(WinInteractiveSid) ||
      !label.Make(ObjectLabelRid(IntegrityRid(hToken.Get())))) {
    return Fail();
  }

  // The defaults' entries in their order, then the interactive user's. A
  // token without a default list (everyone may do anything) gets its own
  // user's full access instead.
  const std::vector<BYTE> user = TokenProperty(hToken.Get(), TokenUser);
  const DWORD cbDefault = pDefault != nullptr ? pDefault->AclSize : 0;
  const DWORD cbUser =
      user.size() >= sizeof(TOKEN_USER)
          ? GetLengthSid(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid)
          : 0;
  const DWORD cbAce = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD);
  m_dacl.assign(
      sizeof(ACL) + cbDefault + 2 * std::size_t{cbAce} + cbUser + GetLengthSid(interactive.Get()),
      0);
  const auto pDacl = reinterpret_cast<PACL>(m_dacl.data());
  if (!InitializeAcl(pDacl, static_cast<DWORD>(m_dacl.size()), ACL_REVISION)) {
    return Fail();
  }
  if (pDefault != nullptr) {
    for (DWORD i = 0; i < pDefault->AceCount; ++i) {
      void* pAce = nullptr;
      if (!GetAce(pDefault, i, &pAce) || !AddAce(pDacl, ACL_REVISION, MAXDWORD, pAce,
                                                 static_cast<const ACE_HEADER*>(pAce)->AceSize)) {
        return Fail();
      }
    }
  } else if (cbUser == 0 ||
             !AddAccessAllowedAce(pDacl, ACL_REVISION, GENERIC_ALL,
                                  reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid)) {
    return Fail();
  }
  if (!AddAccessAllowedAce(pDacl, ACL_REVISION, dwInteractiveAccess, interactive.Get())) {
    return Fail();
  }

  // No write up: a process below the label may not change the object.
  const DWORD cbLabelAce = sizeof(SYSTEM_MANDATORY_LABEL_ACE) - sizeof(DWORD);
  m_sacl.assign(sizeof(ACL) + cbLabelAce + GetLengthSid(label.Get()), 0);
  const auto pSacl = reinterpret_cast<PACL>(m_sacl.data());
  if (!InitializeAcl(pSacl, static_cast<DWORD>(m_sacl.size()), ACL_REVISION) ||
      !AddMandatoryAce(pSacl, ACL_REVISION, 0, SYSTEM_MANDATORY_LABEL_NO_WRITE_UP, label.Get())) {
    return Fail();
  }

  if (!InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !SetSecurityDescriptorDacl(&m_descriptor, TRUE, pDacl, FALSE) ||
      !SetSecurityDescriptorSacl(&m_descriptor, TRUE, pSacl, FALSE)) {
    return Fail();
  }
  m_attributes = {sizeof(m_attributes), &m_descriptor, FALSE};
  return true;
}
