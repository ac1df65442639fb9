#include "devshell/ScreenCapture.h"

#include <wincodec.h>

#include "render/ComSlot.h"

bool CaptureScreen(const RECT& rc, ScreenImage& image) noexcept {
  image = ScreenImage{};
  const int nWidth = rc.right - rc.left;
  const int nHeight = rc.bottom - rc.top;
  if (nWidth <= 0 || nHeight <= 0) {
    return false;
  }
  BITMAPINFO bmi{};
  bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
  bmi.bmiHeader.biWidth = nWidth;
  bmi.bmiHeader.biHeight = -nHeight;  // top-down
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  HDC hScreen = GetDC(nullptr);
  HDC hMemDC = CreateCompatibleDC(hScreen);
  void* pBits = nullptr;
  HBITMAP hBitmap = CreateDIBSection(hScreen, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
  bool bRead = false;
  if (hMemDC != nullptr && hBitmap != nullptr) {
    HGDIOBJ hOld = SelectObject(hMemDC, hBitmap);
    bRead = BitBlt(hMemDC, 0, 0, nWidth, nHeight, hScreen, rc.left, rc.top, SRCCOPY) != FALSE;
    GdiFlush();
    if (bRead) {
      const auto* pPixels = static_cast<const std::uint32_t*>(pBits);
      image.m_nWidth = nWidth;
      image.m_nHeight = nHeight;
      image.m_pixels.assign(pPixels, pPixels + static_cast<std::size_t>(nWidth) * nHeight);
      for (std::uint32_t& pixel : image.m_pixels) {
        pixel |= 0xFF000000;
      }
    }
    SelectObject(hMemDC, hOld);
  }
  if (hBitmap != nullptr) {
    DeleteObject(hBitmap);
  }
  if (hMemDC != nullptr) {
    DeleteDC(hMemDC);
  }
  ReleaseDC(nullptr, hScreen);
  return bRead;
}

bool SavePng(const std::wstring& path, const ScreenImage& image, int nZoom) {
  if (image.m_nWidth <= 0 || image.m_nHeight <= 0 || nZoom < 1) {
    return false;
  }
  const int nWidth = image.m_nWidth * nZoom;
  const int nHeight = image.m_nHeight * nZoom;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(nWidth) * nHeight);
  for (int y = 0; y < nHeight; ++y) {
    for (int x = 0; x < nWidth; ++x) {
      pixels[static_cast<std::size_t>(y) * nWidth + x] = image.At(x / nZoom, y / nZoom);
    }
  }
  const HRESULT hrInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool bWritten = false;
  {
    TComPtr<IWICImagingFactory> factory;
    TComPtr<IWICStream> stream;
    TComPtr<IWICBitmapEncoder> encoder;
    TComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    const UINT cbStride = static_cast<UINT>(nWidth) * 4;
    bWritten = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                          __uuidof(IWICImagingFactory), factory.PutVoid())) &&
               SUCCEEDED(factory->CreateStream(stream.Put())) &&
               SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
               SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put())) &&
               SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
               SUCCEEDED(encoder->CreateNewFrame(frame.Put(), nullptr)) &&
               SUCCEEDED(frame->Initialize(nullptr)) &&
               SUCCEEDED(frame->SetSize(static_cast<UINT>(nWidth), static_cast<UINT>(nHeight))) &&
               SUCCEEDED(frame->SetPixelFormat(&format)) &&
               format == GUID_WICPixelFormat32bppBGRA &&
               SUCCEEDED(frame->WritePixels(static_cast<UINT>(nHeight), cbStride,
                                            cbStride * static_cast<UINT>(nHeight),
                                            reinterpret_cast<BYTE*>(pixels.data()))) &&
               SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  }
  if (SUCCEEDED(hrInit)) {
    CoUninitialize();
  }
  return bWritten;
}
