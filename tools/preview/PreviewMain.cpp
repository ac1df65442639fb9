// nimbrel-preview DIR: draws real band frames with the band's own drawing code
// and writes them as PNG files into DIR, each at its true 95 x 38 pixels (with
// the transparency the taskbar shows through) and four times enlarged over a
// dark taskbar colour. Needs no composition: the frames go into an off-screen
// swap chain and are read back from there. (The band at work, docked in a
// taskbar, is what make run shows: the real Nimbrel.exe.)

#include <windows.h>

#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "feed/FormatRate.h"
#include "render/BandFrame.h"
#include "render/ComSlot.h"
#include "offscreen/OffscreenComposition.h"

namespace {

constexpr int kBandWidth = 95;
constexpr int kBandHeight = 38;
constexpr int kZoom = 4;
constexpr int kSheetGap = 8;
constexpr std::uint32_t kTaskbarColor = 0xFF202020;  // Windows 11 dark taskbar, opaque BGRA

struct PreviewFrame {
  const wchar_t* pszName;
  TrafficState state;
};

TrafficState WithData(std::int64_t rateUpper, std::int64_t maxUpper, std::int64_t rateLower,
                      std::int64_t maxLower, BOOL bBitsMode, BOOL bArrowsFlipped) {
  TrafficState s;
  s.m_nLastSequence = 1;
  s.m_bHasData = TRUE;
  s.m_nRateUpper = rateUpper;
  s.m_nMaxUpper = maxUpper;
  s.m_nRateLower = rateLower;
  s.m_nMaxLower = maxLower;
  s.m_bBitsMode = bBitsMode;
  s.m_bArrowsFlipped = bArrowsFlipped;
  return s;
}

// The lines swapped, as the poll leaves them when the record puts the download
// on the upper line: rates, full scales and colours move together.
TrafficState Flipped(TrafficState s) {
  s.m_crUpper = kDefaultLowerColor;
  s.m_crLower = kDefaultUpperColor;
  return s;
}

std::vector<PreviewFrame> Frames() {
  // Not flipped: upload on the upper line beside the up arrow, download below.
  return {
      {L"nodata", TrafficState{}},
      {L"rates", WithData(1268000, 5000000, 9154000, 12500000, FALSE, FALSE)},
      {L"flipped", Flipped(WithData(9154000, 12500000, 1268000, 5000000, FALSE, TRUE))},
      {L"bits", WithData(1268000, 5000000, 9154000, 12500000, TRUE, FALSE)},
      {L"fullbar", WithData(312000, 5000000, 13100000, 12500000, FALSE, FALSE)},
  };
}

// Straight (not premultiplied) BGRA for the PNG.
std::vector<std::uint32_t> Unpremultiply(const PixelImage& image) {
  std::vector<std::uint32_t> out(image.m_pixels.size());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const std::uint32_t p = image.m_pixels[i];
    const std::uint32_t a = p >> 24;
    if (a == 0) {
      out[i] = 0;
      continue;
    }
    const auto channel = [&](int nShift) {
      const std::uint32_t v = (p >> nShift) & 0xFF;
      return std::min<std::uint32_t>(255, (v * 255 + a / 2) / a) << nShift;
    };
    out[i] = (a << 24) | channel(16) | channel(8) | channel(0);
  }
  return out;
}

// The premultiplied frame laid over an opaque colour.
std::uint32_t Over(std::uint32_t p, std::uint32_t background) {
  const std::uint32_t a = p >> 24;
  std::uint32_t out = 0xFF000000;
  for (int nShift = 0; nShift < 24; nShift += 8) {
    const std::uint32_t s = (p >> nShift) & 0xFF;
    const std::uint32_t d = (background >> nShift) & 0xFF;
    out |= std::min<std::uint32_t>(255, s + (d * (255 - a) + 127) / 255) << nShift;
  }
  return out;
}

void PasteZoomed(const PixelImage& image, std::vector<std::uint32_t>& sheet, int nSheetWidth,
                 int nTop) {
  for (int y = 0; y < kBandHeight * kZoom; ++y) {
    for (int x = 0; x < kBandWidth * kZoom; ++x) {
      sheet[static_cast<std::size_t>(nTop + y) * nSheetWidth + x] =
          Over(image.At(static_cast<UINT>(x / kZoom), static_cast<UINT>(y / kZoom)), kTaskbarColor);
    }
  }
}

// Frames stacked top to bottom, each four times enlarged over the taskbar colour.
struct Sheet {
  int m_nWidth = kBandWidth * kZoom;
  int m_nHeight = 0;
  std::vector<std::uint32_t> m_pixels;
};

Sheet ComposeSheet(const std::vector<PixelImage>& images) {
  Sheet sheet;
  sheet.m_nHeight = static_cast<int>(images.size()) * (kBandHeight * kZoom + kSheetGap) - kSheetGap;
  sheet.m_pixels.assign(static_cast<std::size_t>(sheet.m_nWidth) * std::max(sheet.m_nHeight, 0),
                        kTaskbarColor);
  int nTop = 0;
  for (const PixelImage& image : images) {
    PasteZoomed(image, sheet.m_pixels, sheet.m_nWidth, nTop);
    nTop += kBandHeight * kZoom + kSheetGap;
  }
  return sheet;
}

[[nodiscard]] bool WritePng(IWICImagingFactory* pFactory, const std::wstring& path, int nWidth,
                            int nHeight, std::vector<std::uint32_t>& pixels) {
  TComPtr<IWICStream> stream;
  TComPtr<IWICBitmapEncoder> encoder;
  TComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(pFactory->CreateStream(stream.Put())) ||
      FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
      FAILED(pFactory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put())) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.Put(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(static_cast<UINT>(nWidth), static_cast<UINT>(nHeight)))) {
    return false;
  }
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  if (FAILED(frame->SetPixelFormat(&format)) || format != GUID_WICPixelFormat32bppBGRA) {
    return false;
  }
  const UINT cbStride = static_cast<UINT>(nWidth) * 4;
  return SUCCEEDED(frame->WritePixels(static_cast<UINT>(nHeight), cbStride,
                                      cbStride * static_cast<UINT>(nHeight),
                                      reinterpret_cast<BYTE*>(pixels.data()))) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// A band-sized Direct2D surface on an off-screen swap chain, and the
// imaging factory that writes its frames out.
class CPreviewSurface {
 public:
  [[nodiscard]] bool Open(const std::wstring& directory) noexcept {
    CreateDirectoryW(directory.c_str(), nullptr);
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(IWICImagingFactory), m_factory.PutVoid()))) {
      std::fprintf(stderr, "nimbrel-preview: no imaging component\n");
      return false;
    }
    m_renderer.UsePlatform(&OffscreenRendererPlatform());
    if (!m_renderer.Initialize(m_window.Handle())) {
      std::fprintf(stderr, "nimbrel-preview: no Direct2D surface\n");
      return false;
    }
    return true;
  }

  TComPtr<IWICImagingFactory> m_factory;
  CHostWindow m_window{kBandWidth, kBandHeight};
  CCompositionRenderer m_renderer;
};

int Run(CPreviewSurface& surface, const std::wstring& directory) {
  IWICImagingFactory* const pFactory = surface.m_factory.Get();
  const int nZoomedWidth = kBandWidth * kZoom;
  wchar_t szUpper[kRateTextChars] = {};
  wchar_t szLower[kRateTextChars] = {};
  std::vector<PixelImage> images;
  for (const PreviewFrame& frame : Frames()) {
    DrawBandFrame(surface.m_renderer, surface.m_window.Handle(), frame.state, szUpper, szLower);
    PixelImage image;
    if (!ReadBackPixels(surface.m_renderer, image)) {
      std::fprintf(stderr, "nimbrel-preview: cannot read the frame back\n");
      return 1;
    }
    std::vector<std::uint32_t> straight = Unpremultiply(image);
    std::vector<std::uint32_t> zoomed(static_cast<std::size_t>(nZoomedWidth) * kBandHeight * kZoom);
    PasteZoomed(image, zoomed, nZoomedWidth, 0);

    const std::wstring base = directory + L"\\band-" + frame.pszName;
    if (!WritePng(pFactory, base + L".png", kBandWidth, kBandHeight, straight) ||
        !WritePng(pFactory, base + L"-4x.png", nZoomedWidth, kBandHeight * kZoom, zoomed)) {
      std::fprintf(stderr, "nimbrel-preview: cannot write %ls\n", base.c_str());
      return 1;
    }
    std::printf("band-%ls.png, band-%ls-4x.png\n", frame.pszName, frame.pszName);
    images.push_back(std::move(image));
  }
  Sheet sheet = ComposeSheet(images);
  if (!WritePng(pFactory, directory + L"\\band-preview.png", sheet.m_nWidth, sheet.m_nHeight,
                sheet.m_pixels)) {
    std::fprintf(stderr, "nimbrel-preview: cannot write the overview\n");
    return 1;
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: nimbrel-preview DIR\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
    return 1;
  }
  const std::wstring directory = argv[1];
  int nResult = 1;
  {
    CPreviewSurface surface;
    if (surface.Open(directory)) {
      nResult = Run(surface, directory);
    }
  }
  CoUninitialize();
  return nResult;
}
