#pragma once
// Development only: asking the composition stand-in (tools/standin) inside the
// band's process to behave as a desktop whose graphics device went away (a
// driver update, a GPU reset). The stand-in keeps an event of this name for
// its process; once it is set, every swap chain that exists at the band's
// next frame answers DXGI_ERROR_DEVICE_REMOVED from then on, as the real ones
// do after a removal, while swap chains made afterwards work again.

#include <cstdint>
#include <string>

inline constexpr wchar_t kStandInLoseDevicePrefix[] = L"NimbrelStandInLoseDevice-";

// The event of the stand-in inside the process with this id.
[[nodiscard]] std::wstring StandInLoseDeviceEventName(std::uint32_t nProcessId);
