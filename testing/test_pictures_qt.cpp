#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QImageWriter>

#include "testing/test_pictures.h"

Bytes encode_test_picture(TestEncoding encoding, std::uint32_t width, std::uint32_t height,
                          const std::vector<TestPixel>& pixels) {
  const QImage::Format format = encoding == TestEncoding::png_alpha ? QImage::Format_ARGB32 : QImage::Format_RGB888;
  QImage image(static_cast<int>(width), static_cast<int>(height), format);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const TestPixel& p = pixels[y * width + x];
      image.setPixelColor(static_cast<int>(x), static_cast<int>(y), QColor(p.red, p.green, p.blue, p.alpha));
    }
  }
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, encoding == TestEncoding::jpeg ? "jpeg" : "png");
  writer.setQuality(100);
  if (!writer.write(image)) return {};
  return Bytes(buffer.data().begin(), buffer.data().end());
}
