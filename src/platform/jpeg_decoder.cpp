// JPEG decoding through libjpeg. libjpeg reports fatal errors through error_exit, which by default ends
// the process; here it jumps back to the decoder, which cleans up and returns a status. Truncated data
// (libjpeg would pad it with gray) is an error too, while other damage libjpeg can step over is accepted, and
// libjpeg's own memory is capped.
#include <jerror.h>

#include "platform/image.h"
#include "platform/jpeg_errors.h"

namespace lumar {
namespace {

constexpr long kMaxLibjpegMemory = 512L * 1024 * 1024;
constexpr int kMaxScans = 1000;     // progressive files can hold endless tiny scans
constexpr long kMaxWarnings = 100;  // corrupt data that libjpeg can step over, within reason

// The decompressor, its error manager and the progress hook live in the caller's frame, so nothing that
// the jump back skips has a destructor or an indeterminate value.
struct JpegSession {
  jpeg_decompress_struct cinfo;
  JpegErrorManager errors;
  jpeg_progress_mgr progress;
};

void OnMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // trace messages
  // The data ended (or the next marker came) before the picture did: libjpeg would fill the rest with gray.
  const int code = cinfo->err->msg_code;
  if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) FailJpeg(cinfo, ImageStatus::kTruncated);
  if (++cinfo->err->num_warnings > kMaxWarnings) FailJpeg(cinfo, ImageStatus::kInvalid);
}

void OnProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
    FailJpeg(cinfo, ImageStatus::kInvalid);
  }
}

uint32_t Opaque(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }

// Adobe writes CMYK inverted (0 = full ink); other writers store it plainly.
uint32_t FromCmyk(const JSAMPLE* p, bool inverted) {
  uint32_t c = p[0], m = p[1], y = p[2], k = p[3];
  if (!inverted) {
    c = 255 - c;
    m = 255 - m;
    y = 255 - y;
    k = 255 - k;
  }
  return Opaque(c * k / 255, m * k / 255, y * k / 255);
}

void ConvertRow(const j_decompress_ptr cinfo, const JSAMPLE* src, uint32_t* dst) {
  const JDIMENSION width = cinfo->output_width;
  switch (cinfo->out_color_space) {
    case JCS_GRAYSCALE:
      for (JDIMENSION x = 0; x < width; ++x) dst[x] = Opaque(src[x], src[x], src[x]);
      break;
    case JCS_CMYK:
      for (JDIMENSION x = 0; x < width; ++x) dst[x] = FromCmyk(src + 4 * x, cinfo->saw_Adobe_marker);
      break;
    default:
      for (JDIMENSION x = 0; x < width; ++x) dst[x] = Opaque(src[3 * x], src[3 * x + 1], src[3 * x + 2]);
      break;
  }
}

// Runs libjpeg; returns through the jump on any error. Holds no local objects of its own.
ImageStatus Decode(JpegSession& s, const uint8_t* data, size_t size, Image& image, ImageSourceInfo* info) {
  if (setjmp(s.errors.jump) != 0) return s.errors.status;
  jpeg_create_decompress(&s.cinfo);
  s.cinfo.mem->max_memory_to_use = kMaxLibjpegMemory;
  s.cinfo.progress = &s.progress;
  jpeg_mem_src(&s.cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  jpeg_read_header(&s.cinfo, TRUE);
  if (!ImageSizeAllowed(s.cinfo.image_width, s.cinfo.image_height)) return ImageStatus::kTooLarge;
  switch (s.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
      s.cinfo.out_color_space = JCS_GRAYSCALE;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      s.cinfo.out_color_space = JCS_CMYK;
      break;
    default:
      s.cinfo.out_color_space = JCS_RGB;
      break;
  }
  jpeg_start_decompress(&s.cinfo);
  const JDIMENSION width = s.cinfo.output_width;
  JSAMPARRAY row = (*s.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s.cinfo), JPOOL_IMAGE,
                                                width * s.cinfo.output_components, 1);
  image.width = width;
  image.height = s.cinfo.output_height;
  // Address space for the whole picture, but pages are only touched as rows arrive: a tiny file that
  // claims a huge picture fails at its end of data without filling memory first.
  image.pixels.reserve(static_cast<size_t>(width) * image.height);
  while (s.cinfo.output_scanline < s.cinfo.output_height) {
    const size_t y = s.cinfo.output_scanline;
    jpeg_read_scanlines(&s.cinfo, row, 1);
    image.pixels.resize((y + 1) * width);
    ConvertRow(&s.cinfo, row[0], image.pixels.data() + y * width);
  }
  jpeg_finish_decompress(&s.cinfo);
  if (info != nullptr) {
    *info = {ImageFileKind::kJpeg, 8 * s.cinfo.num_components, s.cinfo.num_components == 1};
  }
  return ImageStatus::kOk;
}

}  // namespace

ImageStatus DecodeJpeg(const uint8_t* data, size_t size, Image& image, ImageSourceInfo* info) {
  image = Image{};
  if (size < 4 || size > 0xFFFFFFFFu) return size < 4 ? ImageStatus::kTruncated : ImageStatus::kTooLarge;
  JpegSession session{};
  InstallJpegErrorManager(reinterpret_cast<j_common_ptr>(&session.cinfo), session.errors);
  session.errors.base.emit_message = OnMessage;
  session.progress.progress_monitor = OnProgress;
  const ImageStatus status = Decode(session, data, size, image, info);
  jpeg_destroy_decompress(&session.cinfo);
  if (status != ImageStatus::kOk) image = Image{};
  return status;
}

}  // namespace lumar
