#include <windows.h>

#include "codecs/com_win32.h"
#include "testing/test_pictures.h"

Bytes encode_test_picture(TestEncoding encoding, std::uint32_t width, std::uint32_t height,
                          const std::vector<TestPixel>& pixels) {
  const ComScope com;
  const Com<IWICImagingFactory> factory = com.usable() ? make_imaging_factory() : nullptr;
  if (!factory) return {};
  // Each pixel in the layout of its format: 24-bit BGR or 32-bit BGRA.
  const bool alpha = encoding == TestEncoding::png_alpha;
  const std::uint32_t size = alpha ? 4 : 3;
  Bytes rows;
  for (const TestPixel& p : pixels) {
    rows.insert(rows.end(), {static_cast<std::uint8_t>(p.blue), static_cast<std::uint8_t>(p.green),
                             static_cast<std::uint8_t>(p.red)});
    if (alpha) rows.push_back(static_cast<std::uint8_t>(p.alpha));
  }
  WICPixelFormatGUID format = alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
  const WICPixelFormatGUID wanted = format;

  IStream* raw_stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &raw_stream))) return {};
  const Com<IStream> stream(raw_stream);
  IWICBitmapEncoder* raw_encoder = nullptr;
  const GUID container = encoding == TestEncoding::jpeg ? GUID_ContainerFormatJpeg : GUID_ContainerFormatPng;
  if (FAILED(factory->CreateEncoder(container, nullptr, &raw_encoder))) return {};
  const Com<IWICBitmapEncoder> encoder(raw_encoder);
  IWICBitmapFrameEncode* raw_frame = nullptr;
  IPropertyBag2* raw_options = nullptr;
  if (FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&raw_frame, &raw_options)))
    return {};
  const Com<IWICBitmapFrameEncode> frame(raw_frame);
  const Com<IPropertyBag2> options(raw_options);
  if (encoding == TestEncoding::jpeg) {
    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT quality{};
    quality.vt = VT_R4;
    quality.fltVal = 1.0f;
    options->Write(1, &option, &quality);
  }
  if (FAILED(frame->Initialize(options.get())) || FAILED(frame->SetSize(width, height)) ||
      FAILED(frame->SetPixelFormat(&format)) || format != wanted ||
      FAILED(frame->WritePixels(height, width * size, static_cast<UINT>(rows.size()), rows.data())) ||
      FAILED(frame->Commit()) || FAILED(encoder->Commit()))
    return {};
  STATSTG stat{};
  HGLOBAL memory = nullptr;
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) || FAILED(GetHGlobalFromStream(stream.get(), &memory))) return {};
  const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(memory));
  Bytes picture(bytes, bytes + stat.cbSize.QuadPart);
  GlobalUnlock(memory);
  return picture;
}
