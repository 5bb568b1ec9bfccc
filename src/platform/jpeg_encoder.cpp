#include "platform/jpeg_encoder.h"

#include <cstdlib>

#include "platform/jpeg_errors.h"

namespace lumar {
namespace {

struct EncodeSession {
  jpeg_compress_struct cinfo;
  JpegErrorManager errors;
  unsigned char* buffer;  // allocated by libjpeg's memory destination, freed with free()
  unsigned long size;
};

int Components(JpegColor color) {
  return color == JpegColor::kGrayscale ? 1 : color == JpegColor::kCmyk ? 4 : 3;
}

void FillRow(const Image& image, uint32_t y, JpegColor color, JSAMPLE* row) {
  const int components = Components(color);
  for (uint32_t x = 0; x < image.width; ++x, row += components) {
    const uint32_t p = image.At(x, y);
    const JSAMPLE r = static_cast<JSAMPLE>(p >> 16), g = static_cast<JSAMPLE>(p >> 8),
                  b = static_cast<JSAMPLE>(p);
    if (color == JpegColor::kGrayscale) {
      row[0] = static_cast<JSAMPLE>((r + g + b + 1) / 3);
      continue;
    }
    // Inverted CMY of the colour is the colour itself; inverted K of no ink is 255.
    row[0] = r;
    row[1] = g;
    row[2] = b;
    if (components == 4) row[3] = 255;
  }
}

// Runs libjpeg; returns false through the jump on any error. Holds no local objects of its own.
bool Encode(EncodeSession& s, const Image& image, const JpegOptions& options) {
  if (setjmp(s.errors.jump) != 0) return false;
  jpeg_create_compress(&s.cinfo);
  jpeg_mem_dest(&s.cinfo, &s.buffer, &s.size);
  s.cinfo.image_width = image.width;
  s.cinfo.image_height = image.height;
  s.cinfo.input_components = Components(options.color);
  s.cinfo.in_color_space = options.color == JpegColor::kGrayscale ? JCS_GRAYSCALE
                           : options.color == JpegColor::kCmyk    ? JCS_CMYK
                                                                  : JCS_RGB;
  jpeg_set_defaults(&s.cinfo);  // CMYK input is stored as CMYK, with the Adobe marker
  jpeg_set_quality(&s.cinfo, options.quality, TRUE);
  if (options.progressive) jpeg_simple_progression(&s.cinfo);
  s.cinfo.optimize_coding = TRUE;
  s.cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_compress(&s.cinfo, TRUE);
  JSAMPARRAY row = (*s.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s.cinfo), JPOOL_IMAGE,
                                                image.width * s.cinfo.input_components, 1);
  while (s.cinfo.next_scanline < s.cinfo.image_height) {
    FillRow(image, s.cinfo.next_scanline, options.color, row[0]);
    jpeg_write_scanlines(&s.cinfo, row, 1);
  }
  jpeg_finish_compress(&s.cinfo);
  return true;
}

}  // namespace

std::vector<uint8_t> EncodeJpeg(const Image& image, const JpegOptions& options) {
  std::vector<uint8_t> bytes;
  if (image.pixels.empty()) return bytes;
  EncodeSession session{};
  InstallJpegErrorManager(reinterpret_cast<j_common_ptr>(&session.cinfo), session.errors);
  if (Encode(session, image, options)) bytes.assign(session.buffer, session.buffer + session.size);
  jpeg_destroy_compress(&session.cinfo);
  std::free(session.buffer);
  return bytes;
}

}  // namespace lumar
