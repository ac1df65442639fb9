#pragma once
// Owners for Winsock's handles, in the one idiom of UniqueHandle.h. Winsock's
// header must come before <windows.h>, so these live apart from the others.

#include <winsock2.h>

#include "common/UniqueHandle.h"

struct SocketTraits {
  using Handle = SOCKET;
  static constexpr Handle kEmpty = INVALID_SOCKET;
  static void Close(Handle s) noexcept { ::closesocket(s); }
};
// WSA_INVALID_EVENT is a null handle.
struct SocketEventTraits : TNullHandle<WSAEVENT> {
  static void Close(Handle h) noexcept { ::WSACloseEvent(h); }
};

using CUniqueSocket = TUniqueHandle<SocketTraits>;
using CUniqueSocketEvent = TUniqueHandle<SocketEventTraits>;
