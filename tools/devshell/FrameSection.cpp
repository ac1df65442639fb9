#include "devshell/FrameSection.h"

#include <string>

namespace {

[[nodiscard]] std::uint64_t WindowValue(HWND hWnd) noexcept {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(hWnd));
}

// The size of what was mapped, as the system rounded it.
[[nodiscard]] std::size_t ViewBytes(const void* pView) noexcept {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(pView, &info, sizeof(info)) != sizeof(info)) {
    return 0;
  }
  return info.RegionSize;
}

}  // namespace

bool CFrameSectionWriter::Open(HWND hWnd) noexcept {
  Close();
  const std::wstring name = FrameSectionName(WindowValue(hWnd));
  constexpr auto cbSection = static_cast<std::uint64_t>(kFrameSectionBytes);
  m_hSection.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                      static_cast<DWORD>(cbSection >> 32),
                                      static_cast<DWORD>(cbSection & 0xFFFFFFFF), name.c_str()));
  // Only this window's own process writes its frames; a section of that name
  // that is still there belongs to its last target, kept for a moment by a
  // reader, and is written on.
  if (!m_hSection) {
    Close();
    return false;
  }
  m_view.Reset(MapViewOfFile(m_hSection.Get(), FILE_MAP_WRITE, 0, 0, kFrameSectionBytes));
  if (!m_view) {
    Close();
    return false;
  }
  m_hWnd = hWnd;
  return true;
}

void CFrameSectionWriter::Close() noexcept {
  m_view.Reset();
  m_hSection.Reset();
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
    // Whatever showed the last frame shows the window's background again.
    const RECT rc = RectInParent(m_hWnd);
    RedrawWindow(GetAncestor(m_hWnd, GA_PARENT), &rc, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
  }
  m_hWnd = nullptr;
}

bool CFrameSectionWriter::Write(std::uint32_t nWidth, std::uint32_t nHeight,
                                const std::uint32_t* pPixels, std::size_t nPitch) noexcept {
  if (!m_view || !WriteFrame(m_view.Get(), kFrameSectionBytes, WindowValue(m_hWnd), nWidth, nHeight,
                             pPixels, nPitch)) {
    return false;
  }
  // Only the parent: invalidating the window itself would make it paint, and
  // so present, again.
  const RECT rc = RectInParent(m_hWnd);
  RedrawWindow(GetAncestor(m_hWnd, GA_PARENT), &rc, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN);
  return true;
}

bool ReadWindowFrame(HWND hWnd, FrameImage& frame) {
  const std::wstring name = FrameSectionName(WindowValue(hWnd));
  const CUniqueHandle hSection(OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str()));
  if (!hSection) {
    return false;
  }
  const TUniqueView<void> view(MapViewOfFile(hSection.Get(), FILE_MAP_READ, 0, 0, 0));
  return view && ReadFrame(view.Get(), ViewBytes(view.Get()), WindowValue(hWnd), frame);
}

RECT RectInParent(HWND hWnd) noexcept {
  RECT rc{};
  GetClientRect(hWnd, &rc);
  MapWindowPoints(hWnd, GetAncestor(hWnd, GA_PARENT), reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}
