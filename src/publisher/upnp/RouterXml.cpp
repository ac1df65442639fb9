#include "publisher/upnp/RouterXml.h"

#include <objbase.h>
#include <shlwapi.h>
#include <wrl/client.h>
#include <xmllite.h>

#include <string_view>

#include "publisher/upnp/SoapText.h"

using Microsoft::WRL::ComPtr;

namespace {

// XmlLite's own code for input that ends too early (MX_E_INPUTEND).
const HRESULT kInputEnded = static_cast<HRESULT>(0xC00CEE01UL);

// Where the reader is: the local names of the open elements, and the text of
// the innermost one.
class CXmlWalk {
 public:
  virtual ~CXmlWalk() = default;
  virtual void OnStart(const std::vector<std::wstring>& path) = 0;
  virtual void OnText(const std::vector<std::wstring>& path, std::wstring_view text) = 0;
  virtual void OnEnd(const std::vector<std::wstring>& path) = 0;
};

HRESULT Walk(const std::string& strXml, CXmlWalk& walk) {
  ComPtr<IXmlReader> pReader;
  HRESULT hr = CreateXmlReader(__uuidof(IXmlReader),
                               reinterpret_cast<void**>(pReader.GetAddressOf()), nullptr);
  if (hr < 0) {
    return hr;
  }
  hr = pReader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
  if (hr < 0) {
    return hr;
  }
  // Not ComPtr::Attach: mingw-w64's takes a reference of its own, and the
  // stream with its copy of the answer would outlive every parse.
  ComPtr<IStream> pStream;
  *pStream.ReleaseAndGetAddressOf() = SHCreateMemStream(
      reinterpret_cast<const BYTE*>(strXml.data()), static_cast<UINT>(strXml.size()));
  if (!pStream) {
    return E_OUTOFMEMORY;
  }
  hr = pReader->SetInput(pStream.Get());
  if (hr < 0) {
    return hr;
  }

  std::vector<std::wstring> path;
  bool bSawElement = false;
  XmlNodeType nodeType = XmlNodeType_None;
  while ((hr = pReader->Read(&nodeType)) == S_OK) {
    const wchar_t* pszName = nullptr;
    const wchar_t* pszValue = nullptr;
    UINT cch = 0;
    switch (nodeType) {
      case XmlNodeType_Element: {
        bSawElement = true;
        const bool bEmpty = pReader->IsEmptyElement() != FALSE;
        hr = pReader->GetLocalName(&pszName, &cch);
        if (hr < 0) {
          return hr;
        }
        path.emplace_back(pszName, cch);
        walk.OnStart(path);
        if (bEmpty) {
          walk.OnEnd(path);
          path.pop_back();
        }
        break;
      }
      case XmlNodeType_EndElement:
        if (path.empty()) {
          return kInputEnded;
        }
        walk.OnEnd(path);
        path.pop_back();
        break;
      case XmlNodeType_Text:
      case XmlNodeType_CDATA:
        hr = pReader->GetValue(&pszValue, &cch);
        if (hr < 0) {
          return hr;
        }
        if (!path.empty()) {
          walk.OnText(path, std::wstring_view(pszValue, cch));
        }
        break;
      default:
        break;
    }
  }
  if (hr < 0) {
    return hr;
  }
  // A document cut short is not well-formed, whatever the reader made of its end.
  if (!bSawElement || !path.empty()) {
    return kInputEnded;
  }
  return S_OK;
}

bool IsBlank(wchar_t ch) noexcept {
  return ch == L' ' || ch == L'\n' || ch == L'\r' || ch == L'\t';
}

std::wstring_view TrimBlanks(std::wstring_view text) noexcept {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

bool IsAt(const std::vector<std::wstring>& path, std::wstring_view name,
          std::wstring_view parent = {}) {
  if (path.empty() || path.back() != name) {
    return false;
  }
  return parent.empty() || (path.size() >= 2 && path[path.size() - 2] == parent);
}

class CDescriptionWalk final : public CXmlWalk {
 public:
  explicit CDescriptionWalk(IgdDescription& description) : m_description(description) {}
  void OnStart(const std::vector<std::wstring>& path) override {
    if (IsAt(path, L"service")) {
      m_strType.clear();
      m_strControl.clear();
    }
  }
  void OnText(const std::vector<std::wstring>& path, std::wstring_view text) override {
    if (IsAt(path, L"URLBase") && path.size() == 2) {
      m_description.m_strUrlBase += text;
    }
    // The root device's own UDN: the box's identity, whatever its address.
    if (IsAt(path, L"UDN", L"device") && path.size() == 3) {
      m_description.m_strUdn += text;
    }
    if (IsAt(path, L"serviceType", L"service")) {
      m_strType += text;
    }
    if (IsAt(path, L"controlURL", L"service")) {
      m_strControl += text;
    }
  }
  void OnEnd(const std::vector<std::wstring>& path) override {
    if (!IsAt(path, L"service") || !m_description.m_strServiceType.empty()) {
      return;
    }
    const std::wstring_view type = TrimBlanks(m_strType);
    if (!IsCommonInterfaceService(type)) {
      return;
    }
    m_description.m_strServiceType = type;
    m_description.m_strControlUrl = m_strControl;
  }

 private:
  IgdDescription& m_description;
  std::wstring m_strType;
  std::wstring m_strControl;
};

class CSoapWalk final : public CXmlWalk {
 public:
  explicit CSoapWalk(SoapReply& reply) : m_reply(reply) {}
  void OnStart(const std::vector<std::wstring>& path) override {
    if (IsAt(path, L"Fault")) {
      m_reply.m_bFault = true;
    }
    m_strText.clear();
  }
  void OnText(const std::vector<std::wstring>&, std::wstring_view text) override {
    m_strText += text;
  }
  void OnEnd(const std::vector<std::wstring>& path) override {
    if (IsAt(path, L"errorCode")) {
      m_reply.m_strErrorCode = m_strText;
    }
    if (IsAt(path, L"errorDescription")) {
      m_reply.m_strErrorDescription = m_strText;
    }
    if (IsAt(path, L"faultstring") && m_reply.m_strErrorDescription.empty()) {
      m_reply.m_strErrorDescription = m_strText;
    }
    m_reply.m_values.emplace_back(path.back(), m_strText);
    m_strText.clear();
  }

 private:
  SoapReply& m_reply;
  std::wstring m_strText;
};

}  // namespace

const std::wstring* SoapReply::Find(std::wstring_view name) const noexcept {
  for (const auto& [strName, strValue] : m_values) {
    if (strName == name) {
      return &strValue;
    }
  }
  return nullptr;
}

HRESULT ParseIgdDescription(const std::string& strXml, IgdDescription& description) {
  description = {};
  CDescriptionWalk walk(description);
  const HRESULT hr = Walk(strXml, walk);
  description.m_strUdn = TrimBlanks(description.m_strUdn);
  return hr;
}

HRESULT ParseSoapReply(const std::string& strXml, SoapReply& reply) {
  reply = {};
  CSoapWalk walk(reply);
  return Walk(strXml, walk);
}
