// Qt's image readers, used without an application object: QImageReader needs neither a display
// nor a QGuiApplication, and finds the JPEG and GIF plugins from Qt's own plugin path, and the TIFF
// plugin of the image formats plugins package.
#include <dlfcn.h>
#include <sys/mman.h>
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <QThread>
#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "codecs/image_codecs.h"

namespace {

// What the readers and the libraries under them (libjpeg through Qt's log, libtiff on its own) say
// while this thread decodes: a decode is refused in their words, and none of their lines reaches
// standard error unprefixed. Null while this thread decodes nothing.
thread_local std::string* decoder_words = nullptr;

void note_words(std::string words) {
  while (!words.empty() && (words.back() == '\n' || words.back() == ' ')) words.pop_back();
  if (words.empty()) return;
  if (!decoder_words->empty()) *decoder_words += "; ";
  *decoder_words += words;
}

QtMessageHandler qt_handler_before = nullptr;

void route_qt_message(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (decoder_words != nullptr && type != QtFatalMsg) return note_words(text.toStdString());
  if (qt_handler_before != nullptr) qt_handler_before(type, context, text);
}

void route_tiff_message(const char*, const char* format, va_list arguments) {
  if (decoder_words == nullptr) return;
  char line[512];
  std::vsnprintf(line, sizeof line, format, arguments);
  note_words(line);
}

// libtiff writes its warnings and errors to standard error itself unless told otherwise; Qt's TIFF
// plugin does not tell it. The library is the plugin's, so its handlers are set through the loaded copy.
void route_tiff_messages() {
  using Handler = void (*)(const char*, const char*, va_list);
  using SetHandler = Handler (*)(Handler);
  for (const char* name : {"libtiff.so.6", "libtiff.so.5"}) {
    void* library = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
    if (library == nullptr) continue;
    for (const char* setter : {"TIFFSetErrorHandler", "TIFFSetWarningHandler"}) {
      if (void* set = dlsym(library, setter)) reinterpret_cast<SetHandler>(set)(route_tiff_message);
    }
    dlclose(library);  // the plugin keeps it loaded
    return;
  }
}

// Gathers into `words` what is said on this thread while it lives.
class Listening {
 public:
  explicit Listening(std::string& words) { decoder_words = &words; }
  ~Listening() { decoder_words = nullptr; }
  Listening(const Listening&) = delete;
  Listening& operator=(const Listening&) = delete;
};

// libjpeg's warnings that mean rows were made up: a scan cut short or damaged is decoded as grey.
// Others (padding between segments, an unknown marker) leave the pixels as they are stored.
bool rows_made_up(const std::string& words) {
  for (const char* sign : {"Premature end", "premature end", "bad Huffman code", "bad arithmetic code",
                           "instead of RST", "Inconsistent progression", "Invalid SOS"}) {
    if (words.find(sign) != std::string::npos) return true;
  }
  return false;
}

// Every page of a whole picture's buffer is touched once as the codec fills it: a fault each 4 KiB,
// 12,000 for a 4000 x 3000 picture, cost more than filling them. Huge pages, where the system gives
// them on request, take one fault each 2 MiB. A hint: the buffer is the same either way.
void ask_huge_pages(std::uint8_t* bytes, std::size_t size) {
  constexpr std::uintptr_t huge = std::uintptr_t{2} << 20;
  const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(bytes) + huge - 1) & ~(huge - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(bytes) + size) & ~(huge - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

// The JPEG that `reader` is set to decode at `size`, into a picture's buffer wrapped as the image Qt
// fills. Qt decodes into the image it is given when its size and format are the ones it would make;
// should it make another image all the same, its pixels are copied from that one.
std::variant<CodecPicture, Failure> decode_in_place(QImageReader& reader, QSize size, std::uint32_t reduced,
                                                    const std::string& name, const std::string& words) {
  std::variant<CodecPicture, Failure> result =
      allocate_picture(static_cast<std::uint32_t>(size.width()), static_cast<std::uint32_t>(size.height()));
  CodecPicture* picture = std::get_if<CodecPicture>(&result);
  if (picture == nullptr) return result;
  std::uint8_t* const quads = picture->quads.get();
  const std::size_t stride = std::size_t{picture->width} * 4;
  ask_huge_pages(quads, stride * picture->height);
  QImage image(quads, size.width(), size.height(), static_cast<qsizetype>(stride), QImage::Format_RGB32);
  if (!reader.read(&image) || rows_made_up(words)) return Failure{Fault::cannot_open, words};
  if (image.size() != size) return Failure{Fault::cannot_open, "it was decoded at another size than the one asked for"};
  if (image.constBits() != quads) {
    image = image.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) return Failure{Fault::unsupported, "no memory to decode the " + name};
    for (std::uint32_t y = 0; y < picture->height; ++y)
      quads_row(image.constScanLine(static_cast<int>(y)), CodecRow::bgra8, picture->width, quads + y * stride);
  }
  picture->reduced = reduced;
  return result;
}

}  // namespace

void ready_platform_codecs() {
  static const bool ready = [] {
    // Qt takes the first thread that asks for its thread data as the main one, and gives it the
    // plugins' objects, wherever they are loaded: they are destroyed at exit, after the workers that
    // may have loaded them have gone, and must not belong to one of those.
    QThread::currentThread();
    qt_handler_before = qInstallMessageHandler(route_qt_message);
    return true;
  }();
  static_cast<void>(ready);
}

std::variant<CodecPicture, Failure> decode_with_platform_codecs(std::span<const std::uint8_t> file,
                                                                std::uint64_t pixel_limit,
                                                                const DecodeReduction& reduce) {
  ready_platform_codecs();
  std::string words;
  const Listening listening(words);
  QBuffer buffer;
  buffer.setData(
      QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size())));
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  // The stored pixels, as WIC gives them: pack lays a picture upright itself, from the file's EXIF
  // orientation, alike on both builds.
  reader.setAutoTransform(false);
  // Qt reads more formats (BMP among them); the others are not this program's to convert.
  const QByteArray format = reader.format();
  // Asking the format loaded the plugins, and libtiff with Qt's.
  static std::once_flag tiff_routed;
  std::call_once(tiff_routed, route_tiff_messages);
  if (format != "png" && format != "jpeg" && format != "gif" && format != "tiff")
    return Failure{Fault::not_recognised, {}};
  const std::string name = format == "jpeg" ? "JPEG" : format.toUpper().toStdString();
  const QSize size = reader.size();
  std::uint32_t reduced = 1;
  if (size.isValid()) {
    if (std::optional<Failure> over = over_limit(size.width(), size.height(), pixel_limit)) return *over;
    // Qt's JPEG reader decodes at the scale of the codec that the size asks for, and resamples
    // what the codec gives to any size that is not exactly side / n: a size that n divides is one
    // it takes as it is (tried against the codec's own reduced decoding, byte for byte).
    if (format == "jpeg") {
      reduced = checked_reduction(reduce, static_cast<std::uint32_t>(size.width()),
                                  static_cast<std::uint32_t>(size.height()));
      if (reduced > 1)
        reader.setScaledSize(
            QSize(size.width() / static_cast<int>(reduced), size.height() / static_cast<int>(reduced)));
    }
  }
  // Qt's own limit on the memory of one picture (256 MB by default) would refuse pictures that the
  // pixel limit allows, and only on this build: it is set to what the pixel limit can need, 8 bytes
  // a pixel for 16-bit channels, so that the pixel limit alone decides.
  QImageReader::setAllocationLimit(
      static_cast<int>(std::min<std::uint64_t>(pixel_limit / (1024 * 1024) * 8 + 64, INT_MAX)));
  // A colour JPEG is decoded by Qt into 32-bit pixels that lie in memory as blue, green, red and 255,
  // the quads' own layout: it is decoded straight into the picture's buffer, which saves converting
  // and copying every pixel twice, most of a whole decode's time once the codec has done its part.
  if (format == "jpeg" && size.isValid() && reader.imageFormat() == QImage::Format_RGB32)
    return decode_in_place(reader, reduced > 1 ? reader.scaledSize() : size, reduced, name, words);
  QImage image;
  if (!reader.read(&image) || (format == "jpeg" && rows_made_up(words))) return Failure{Fault::cannot_open, words};
  // 16-bit channels are rounded to 8 bits here, not by Qt's conversion, so that both builds agree.
  const bool deep = image.depth() == 64 || image.format() == QImage::Format_Grayscale16;
  const bool grey = image.format() == QImage::Format_Grayscale8;
  if (!grey) image = image.convertToFormat(deep ? QImage::Format_RGBA64 : QImage::Format_ARGB32);
  if (image.isNull()) return Failure{Fault::unsupported, "no memory to decode the " + name};
  if (reduced > 1 && image.size() != reader.scaledSize())
    return Failure{Fault::cannot_open, "it was decoded at another size than the one asked for"};

  std::variant<CodecPicture, Failure> result =
      allocate_picture(static_cast<std::uint32_t>(image.width()), static_cast<std::uint32_t>(image.height()));
  if (CodecPicture* picture = std::get_if<CodecPicture>(&result)) {
    ask_huge_pages(picture->quads.get(), std::size_t{picture->width} * picture->height * 4);
    // Format_ARGB32 lies in memory as blue, green, red, alpha and Format_RGBA64 as red, green,
    // blue, alpha in 16-bit words: the layouts of CodecRow on this little-endian build.
    for (std::uint32_t y = 0; y < picture->height; ++y) {
      quads_row(image.constScanLine(static_cast<int>(y)),
                grey   ? CodecRow::gray8
                : deep ? CodecRow::rgba16
                       : CodecRow::bgra8,
                picture->width, picture->quads.get() + std::size_t{y} * picture->width * 4);
    }
    picture->reduced = reduced;
  }
  return result;
}
