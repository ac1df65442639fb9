#pragma once
// Owner of a kernel handle (event, mutex, thread): closes it exactly once.

#include <windows.h>

#include <memory>

struct KernelHandleCloser {
  void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<void, KernelHandleCloser>;
