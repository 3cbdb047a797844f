#include "tests/framework/image/image_peers.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

uint32_t NoiseHash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

// --- Frames ------------------------------------------------------------------

Bytes PhotoLikeRgb(int32_t width, int32_t height, uint32_t seed) {
  Bytes rgb(static_cast<size_t>(width) * height * 3);
  const double fx = 6.2831853 / std::max(width, 1);
  const double fy = 6.2831853 / std::max(height, 1);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t noise = NoiseHash(seed ^ static_cast<uint32_t>(y * 65537 + x));
      const bool disc = (x - width / 3) * (x - width / 3) + (y - height / 2) * (y - height / 2) <
                        (width * width) / 25;
      for (int c = 0; c < 3; ++c) {
        double v = 128 + 70 * std::sin(fx * x * (c + 1) + seed) * std::cos(fy * y * (3 - c));
        v += disc ? 60 - 40 * c : 0;
        v += static_cast<int>((noise >> (8 * c)) & 0x1F) - 16;
        rgb[(static_cast<size_t>(y) * width + x) * 3 + c] =
            static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
      }
    }
  }
  return rgb;
}

void FillPhotoLike(ImageFrame* frame, int32_t width, int32_t height, int32_t depth, uint32_t seed,
                   uint32_t alpha) {
  const Bytes rgb = PhotoLikeRgb(width, height, seed);
  frame->width = width;
  frame->height = height;
  frame->bitsPerPixel = static_cast<uint8_t>(depth);
  frame->pixels.resize(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < frame->pixels.size(); ++i) {
    frame->pixels[i] = alpha << 24 | static_cast<uint32_t>(rgb[3 * i]) << 16 |
                       static_cast<uint32_t>(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
  }
}

// --- Reading from memory ---------------------------------------------------------

void ReadFromMemory(FrameReader reader, const Bytes& bytes, ImageFrame* frame) {
  ImageMemorySource source(bytes);
  reader(source, frame);
}

Bytes Encode(void (*writer)(const ImageFrame*, UtilitiesByteWriter&), const ImageFrame* frame) {
  UtilitiesByteWriter out;
  writer(frame, out);
  return Bytes(out.bytes.begin(), out.bytes.end());
}

// --- libjpeg-turbo -----------------------------------------------------------------

namespace {

[[noreturn]] void JpegFail(j_common_ptr) {
  throw std::runtime_error("libjpeg error");
}

}  // namespace

Bytes JpegEncode(const Bytes& samples, int32_t width, int32_t height, const JpegSettings& s) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  errors.error_exit = JpegFail;
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = s.grey ? 1 : 3;
  info.in_color_space = s.grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, s.quality, TRUE);
  info.comp_info[0].h_samp_factor = s.hSampling;
  info.comp_info[0].v_samp_factor = s.vSampling;
  jpeg_scan_info scans[3] = {};
  if (s.separateScans) {
    for (int i = 0; i < info.num_components; ++i) {
      scans[i].comps_in_scan = 1;
      scans[i].component_index[0] = i;
      scans[i].Se = 63;
    }
    info.scan_info = scans;
    info.num_scans = info.num_components;
  }
  if (s.restartRows > 0) {
    info.restart_in_rows = s.restartRows;
  }
  if (s.progressive) {
    jpeg_simple_progression(&info);
  }
  jpeg_start_compress(&info, TRUE);
  Bytes grey;
  if (s.grey) {
    grey.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < grey.size(); ++i) {
      grey[i] = samples[3 * i + 1];
    }
  }
  const Bytes& input = s.grey ? grey : samples;
  const size_t rowBytes = static_cast<size_t>(width) * info.input_components;
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPLE*>(input.data() + info.next_scanline * rowBytes);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  Bytes file(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return file;
}

std::vector<uint32_t> JpegDecodePeer(const Bytes& file, int32_t& width, int32_t& height) {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  errors.error_exit = JpegFail;
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), file.size());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  width = static_cast<int32_t>(info.output_width);
  height = static_cast<int32_t>(info.output_height);
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  Bytes row(static_cast<size_t>(width) * 3);
  while (info.output_scanline < info.output_height) {
    const size_t y = info.output_scanline;
    JSAMPROW rowPointer = row.data();
    jpeg_read_scanlines(&info, &rowPointer, 1);
    for (int32_t x = 0; x < width; ++x) {
      pixels[y * width + x] =
          static_cast<uint32_t>(row[3 * x]) << 16 | row[3 * x + 1] << 8 | row[3 * x + 2];
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return pixels;
}

// --- giflib ------------------------------------------------------------------------

namespace {

int GifWriteToBytes(GifFileType* gif, const GifByteType* data, int count) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + count);
  return count;
}

struct GifInput {
  const Bytes* bytes;
  size_t at;
};

int GifReadFromBytes(GifFileType* gif, GifByteType* data, int count) {
  auto* in = static_cast<GifInput*>(gif->UserData);
  const size_t n = std::min(static_cast<size_t>(count), in->bytes->size() - in->at);
  std::memcpy(data, in->bytes->data() + in->at, n);
  in->at += n;
  return static_cast<int>(n);
}

ColorMapObject* MakeColourMap(int bits, uint32_t seed) {
  std::vector<GifColorType> colours(static_cast<size_t>(1) << bits);
  for (size_t i = 0; i < colours.size(); ++i) {
    const uint32_t h = NoiseHash(seed * 977 + static_cast<uint32_t>(i));
    colours[i] = {static_cast<GifByteType>(h), static_cast<GifByteType>(h >> 8),
                  static_cast<GifByteType>(h >> 16)};
  }
  return GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
}

}  // namespace

Bytes GifEncodePeer(const Bytes& indices, int32_t width, int32_t height, const GifSettings& s,
                    uint32_t seed) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, GifWriteToBytes, &error);
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = MakeColourMap(s.colourBits, seed);
  ColorMapObject* local = s.localBits > 0 ? MakeColourMap(s.localBits, seed + 1) : nullptr;
  EGifPutScreenDesc(gif, width, height, 8, 0, global);
  if (s.transparent >= 0) {
    GraphicsControlBlock control{};
    control.TransparentColor = s.transparent;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension);
  }
  EGifPutImageDesc(gif, 0, 0, width, height, s.interlaced, local);
  const int starts[4] = {0, 4, 2, 1};
  const int steps[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < (s.interlaced ? 4 : 1); ++pass) {
    for (int32_t y = s.interlaced ? starts[pass] : 0; y < height;
         y += s.interlaced ? steps[pass] : 1) {
      EGifPutLine(gif, const_cast<GifPixelType*>(indices.data() + static_cast<size_t>(y) * width),
                  width);
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(global);
  if (local != nullptr) {
    GifFreeMapObject(local);
  }
  return out;
}

bool GifDecodePeer(const Bytes& file, GifPeerImage& image) {
  GifInput input{&file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&input, GifReadFromBytes, &error);
  if (gif == nullptr) {
    return false;
  }
  if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1) {
    DGifCloseFile(gif, &error);
    return false;
  }
  const SavedImage& saved = gif->SavedImages[0];
  image.width = gif->SWidth;
  image.height = gif->SHeight;
  image.indices.assign(saved.RasterBits,
                       saved.RasterBits + saved.ImageDesc.Width * saved.ImageDesc.Height);
  const ColorMapObject* map = saved.ImageDesc.ColorMap ? saved.ImageDesc.ColorMap : gif->SColorMap;
  image.colours.clear();
  for (int i = 0; map != nullptr && i < map->ColorCount; ++i) {
    const GifColorType& c = map->Colors[i];
    image.colours.push_back(static_cast<uint32_t>(c.Red) << 16 | c.Green << 8 | c.Blue);
  }
  GraphicsControlBlock control{};
  control.TransparentColor = -1;
  DGifSavedExtensionToGCB(gif, 0, &control);
  image.transparent = control.TransparentColor;
  DGifCloseFile(gif, &error);
  return true;
}
