// The Windows Imaging Component, which has a TIFF decoder besides. Wine 8 decodes PNG, JPEG and GIF
// through it; a GIF frame does
// not convert to 24-bit BGR (CopyPixels fails), but every picture converts to 32-bit BGRA, whose
// alpha is handed on straight, as the Linux build does. A PNG of 16-bit channels (colour or
// grey) is copied as the decoder gives it, so that the rounding to 8 bits is ours on both builds:
// Wine's conversion of 16-bit grey to BGRA does not round.
#include <windows.h>

#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "codecs/com_win32.h"
#include "codecs/image_codecs.h"

namespace {

// Rows copied from the codec per call: enough to keep calls few, little enough to stay small.
constexpr std::uint32_t band_rows = 16;

std::string container_name(const GUID& container) {
  if (container == GUID_ContainerFormatPng) return "PNG";
  if (container == GUID_ContainerFormatJpeg) return "JPEG";
  if (container == GUID_ContainerFormatGif) return "GIF";
  if (container == GUID_ContainerFormatTiff) return "TIFF";
  return {};
}

// IWICBitmapSourceTransform, which MinGW's wincodec.h leaves out: its identifier and its methods in
// the order of its table, as the system's decoders implement it. Named our own so that a header that
// declares it one day does not clash.
const IID source_transform_iid = {0x3B16811B, 0x6A43, 0x4EC9, {0xB7, 0x13, 0x3D, 0x5A, 0x0C, 0x13, 0xB9, 0x40}};
// A COM interface is released, never deleted through a pointer, and has no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct SourceTransform : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height, WICPixelFormatGUID* format,
                                               WICBitmapTransformOptions transform, UINT stride, UINT buffer_size,
                                               BYTE* buffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform, BOOL* supported) = 0;
};
#pragma GCC diagnostic pop

// The frame decoded at 1/n of its width x height by the decoder itself, through its source
// transform (a JPEG decoder's reduced inverse transform); nullopt when the decoder offers no such
// scaling, not to exactly that size, or not in a layout of ours, and the frame is then decoded whole.
std::optional<std::variant<CodecPicture, Failure>> decode_reduced(IWICBitmapFrameDecode* frame, UINT width, UINT height,
                                                                  std::uint32_t n) {
  SourceTransform* raw_transform = nullptr;
  if (FAILED(frame->QueryInterface(source_transform_iid, reinterpret_cast<void**>(&raw_transform))) ||
      raw_transform == nullptr)
    return std::nullopt;
  const Com<SourceTransform> transform(raw_transform);
  UINT scaled_width = width / n, scaled_height = height / n;
  if (FAILED(transform->GetClosestSize(&scaled_width, &scaled_height)) || scaled_width != width / n ||
      scaled_height != height / n)
    return std::nullopt;
  BOOL upright = FALSE;
  if (FAILED(transform->DoesSupportTransform(WICBitmapTransformRotate0, &upright)) || !upright) return std::nullopt;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  if (FAILED(transform->GetClosestPixelFormat(&format))) return std::nullopt;
  CodecRow layout = CodecRow::bgra8;
  std::uint64_t pixel_bytes = 4;
  if (format == GUID_WICPixelFormat24bppBGR) {
    layout = CodecRow::bgr8;
    pixel_bytes = 3;
  } else if (format != GUID_WICPixelFormat32bppBGRA) {
    return std::nullopt;
  }
  const std::uint64_t stride = std::uint64_t{scaled_width} * pixel_bytes;
  if (stride * scaled_height > MAXDWORD) return std::nullopt;
  std::variant<CodecPicture, Failure> result = allocate_picture(scaled_width, scaled_height);
  CodecPicture* picture = std::get_if<CodecPicture>(&result);
  if (picture == nullptr) return result;
  std::vector<std::uint8_t> pixels;
  try {
    pixels.resize(static_cast<std::size_t>(stride * scaled_height));
  } catch (const std::bad_alloc&) {
    return Failure{Fault::unsupported, "no memory to decode the picture"};
  }
  // The whole reduced picture at once: the rectangle a source transform copies is one of its
  // result, and copying it whole needs none.
  if (FAILED(transform->CopyPixels(nullptr, scaled_width, scaled_height, &format, WICBitmapTransformRotate0,
                                   static_cast<UINT>(stride), static_cast<UINT>(stride * scaled_height),
                                   pixels.data())))
    return std::nullopt;
  for (std::uint32_t y = 0; y < scaled_height; ++y) {
    quads_row(pixels.data() + y * stride, layout, scaled_width,
              picture->quads.get() + std::size_t{y} * scaled_width * 4);
  }
  picture->reduced = n;
  return result;
}

}  // namespace

void ready_platform_codecs() {}

std::variant<CodecPicture, Failure> decode_with_platform_codecs(std::span<const std::uint8_t> file,
                                                                std::uint64_t pixel_limit,
                                                                const DecodeReduction& reduce) {
  const ComScope com;
  const Com<IWICImagingFactory> factory = com.usable() ? make_imaging_factory() : nullptr;
  if (!factory) return Failure{Fault::not_recognised, "the system's image codecs are not available"};
  IWICStream* raw_stream = nullptr;
  if (FAILED(factory->CreateStream(&raw_stream))) return Failure{Fault::not_recognised, {}};
  const Com<IWICStream> stream(raw_stream);
  if (file.size() > MAXDWORD ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(file.data()), static_cast<DWORD>(file.size()))))
    return Failure{Fault::not_recognised, {}};
  IWICBitmapDecoder* raw_decoder = nullptr;
  if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, &raw_decoder)))
    return Failure{Fault::not_recognised, {}};
  const Com<IWICBitmapDecoder> decoder(raw_decoder);
  GUID container{};
  if (FAILED(decoder->GetContainerFormat(&container)) || container_name(container).empty())
    return Failure{Fault::not_recognised, {}};
  // WIC gives no words of its own for what it cannot decode.
  const Failure broken{Fault::cannot_open, {}};

  IWICBitmapFrameDecode* raw_frame = nullptr;
  if (FAILED(decoder->GetFrame(0, &raw_frame))) return broken;
  const Com<IWICBitmapFrameDecode> frame(raw_frame);
  UINT width = 0, height = 0;
  WICPixelFormatGUID native{};
  if (FAILED(frame->GetSize(&width, &height)) || FAILED(frame->GetPixelFormat(&native))) return broken;
  if (std::optional<Failure> over = over_limit(width, height, pixel_limit)) return *over;
  if (container == GUID_ContainerFormatJpeg) {
    if (const std::uint32_t n = checked_reduction(reduce, width, height); n > 1) {
      if (std::optional<std::variant<CodecPicture, Failure>> reduced = decode_reduced(frame.get(), width, height, n))
        return std::move(*reduced);
    }
  }

  CodecRow layout = CodecRow::bgra8;
  IWICBitmapSource* source = frame.get();
  Com<IWICFormatConverter> converter;
  if (native == GUID_WICPixelFormat64bppRGBA) {
    layout = CodecRow::rgba16;
  } else if (native == GUID_WICPixelFormat48bppRGB) {
    layout = CodecRow::rgb16;
  } else if (native == GUID_WICPixelFormat16bppGray) {
    layout = CodecRow::gray16;
  } else {
    IWICFormatConverter* raw_converter = nullptr;
    if (FAILED(factory->CreateFormatConverter(&raw_converter))) return broken;
    converter.reset(raw_converter);
    if (FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
      return broken;
    source = converter.get();
  }

  std::variant<CodecPicture, Failure> result = allocate_picture(width, height);
  CodecPicture* picture = std::get_if<CodecPicture>(&result);
  if (picture == nullptr) return result;
  const unsigned pixel_bytes[] = {4, 8, 6, 2, 3, 1};  // in the order of CodecRow
  const std::uint64_t stride = std::uint64_t{width} * pixel_bytes[static_cast<int>(layout)];
  if (stride * band_rows > MAXDWORD) return Failure{Fault::unsupported, "the picture is too wide to decode"};
  // BGRA is the quads' own layout: the codec writes it into the picture where it lies, rather than
  // into a band to be copied.
  const bool in_place = layout == CodecRow::bgra8;
  std::vector<std::uint8_t> band;
  try {
    if (!in_place) band.resize(static_cast<std::size_t>(stride * band_rows));
  } catch (const std::bad_alloc&) {
    return Failure{Fault::unsupported, "no memory to decode the picture"};
  }
  for (std::uint32_t top = 0; top < height; top += band_rows) {
    const std::uint32_t rows = std::min(band_rows, height - top);
    const WICRect rect{0, static_cast<INT>(top), static_cast<INT>(width), static_cast<INT>(rows)};
    BYTE* target = in_place ? picture->quads.get() + std::size_t{top} * width * 4 : band.data();
    if (FAILED(source->CopyPixels(&rect, static_cast<UINT>(stride), static_cast<UINT>(stride * rows), target)))
      return broken;
    for (std::uint32_t y = 0; y < rows && !in_place; ++y) {
      quads_row(band.data() + y * stride, layout, width, picture->quads.get() + (std::size_t{top} + y) * width * 4);
    }
  }
  return result;
}
