#pragma once
// The router's two kinds of XML, read with the platform's XmlLite reader: the
// device description (where to send actions) and SOAP answers (the figures,
// or a fault).

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

struct IgdDescription {
  std::wstring m_strUrlBase;
  std::wstring m_strServiceType;  // empty: no WANCommonInterfaceConfig service
  std::wstring m_strControlUrl;
  std::wstring m_strUdn;  // the root device's UDN, as written; empty when it has none
};

struct SoapReply {
  bool m_bFault = false;
  std::wstring m_strErrorCode;         // UPnPError errorCode, when the fault carries one
  std::wstring m_strErrorDescription;  // UPnPError errorDescription, else faultstring
  std::vector<std::pair<std::wstring, std::wstring>> m_values;  // leaf elements, in order

  [[nodiscard]] const std::wstring* Find(std::wstring_view name) const noexcept;
};

// A failed HRESULT when the text is not well-formed XML.
[[nodiscard]] HRESULT ParseIgdDescription(const std::string& strXml, IgdDescription& description);
[[nodiscard]] HRESULT ParseSoapReply(const std::string& strXml, SoapReply& reply);
