#pragma once
// Where a UPnP control URL points. Devices give it absolute, host-relative
// ("/upnp/control/x") or relative to URLBase, or without URLBase relative to
// the description's own URL.

#include <string>
#include <string_view>

// Empty when no http:// URL can be made of it.
[[nodiscard]] std::wstring ResolveControlUrl(std::wstring_view descriptionUrl,
                                             std::wstring_view urlBase,
                                             std::wstring_view controlUrl);
