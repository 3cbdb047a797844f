// Image decoding speed beside the peer libraries: JPEG against
// libjpeg-turbo, GIF against giflib, and run-length TGA throughput. Each
// decoder reads from a memory buffer, as the game's loads read from a memory
// copy of the file. Prints "name: ours X ms, peer Y ms, ratio R".
// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "framework/image/image.h"
#include "framework/image/image_internal.h"
#include "tests/framework/image/image_peers.h"

namespace {

constexpr uint32_t kSeed = 7;

const Bytes& JpegPhoto() {
  static const Bytes file = JpegEncode(PhotoLikeRgb(1920, 1080, kSeed), 1920, 1080, {});
  return file;
}

// The photograph reduced to a 6 x 7 x 6 colour cube, as a GIF made by giflib.
const Bytes& GifPhoto() {
  static const Bytes file = [] {
    const int width = 1024, height = 768;
    const Bytes rgb = PhotoLikeRgb(width, height, kSeed);
    Bytes indices(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < indices.size(); ++i) {
      const uint8_t* p = &rgb[i * 3];
      indices[i] =
          static_cast<uint8_t>((p[0] + 25) / 51 * 42 + (p[1] + 21) / 42 * 6 + (p[2] + 25) / 51);
    }
    return GifEncodePeer(indices, width, height, {}, kSeed);
  }();
  return file;
}

// A 32-bit game picture: flat areas, gradients and a noisy region, written
// run-length coded by our writer.
const Bytes& TgaPicture() {
  static const Bytes file = [] {
    ImageFrame frame;
    frame.width = 1920;
    frame.height = 1080;
    frame.bitsPerPixel = 32;
    frame.pixels.resize(1920 * 1080);
    for (int y = 0; y < 1080; ++y) {
      for (int x = 0; x < 1920; ++x) {
        uint32_t pixel = 0xFF000000u | (x / 240) * 0x200810u;  // flat bands
        if (y > 360 && y < 720) {
          pixel = 0xFF000000u | static_cast<uint32_t>(x * 255 / 1920) << 16 | (y & 0xFF);
        } else if (y >= 720) {
          pixel = 0x80000000u | (NoiseHash(static_cast<uint32_t>(y * 1920 + x)) & 0x00FFFFFF);
        }
        frame.pixels[static_cast<size_t>(y) * 1920 + x] = pixel;
      }
    }
    UtilitiesByteWriter out;
    ImageTgaWrite(&frame, out);
    return Bytes(out.bytes.begin(), out.bytes.end());
  }();
  return file;
}

void OursRead(benchmark::State& state, void (*reader)(ImageSource&, ImageFrame*),
              const Bytes& file) {
  for (auto _ : state) {
    ImageFrame frame;
    ImageMemorySource source(file);
    reader(source, &frame);
    benchmark::DoNotOptimize(frame.pixels.data());
    if (frame.loaded != 1 || frame.placeholder != 0) {
      state.SkipWithError("decode failed");
    }
  }
}

void JpegOurs(benchmark::State& state) {
  OursRead(state, ImageJpegRead, JpegPhoto());
}

void JpegPeer(benchmark::State& state) {
  const Bytes& file = JpegPhoto();
  for (auto _ : state) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), file.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    Bytes pixels(static_cast<size_t>(info.output_width) * info.output_height * 3);
    while (info.output_scanline < info.output_height) {
      JSAMPROW row =
          pixels.data() + static_cast<size_t>(info.output_scanline) * info.output_width * 3;
      jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(pixels.data());
  }
}

void GifOurs(benchmark::State& state) {
  OursRead(state, ImageGifRead, GifPhoto());
}

// giflib's decode plus the mapping to 32-bit pixels that ours includes.
void GifPeer(benchmark::State& state) {
  const Bytes& file = GifPhoto();
  struct Input {
    const Bytes* bytes;
    size_t at;
  };
  for (auto _ : state) {
    Input input{&file, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(
        &input,
        [](GifFileType* g, GifByteType* d, int n) {
          auto* in = static_cast<Input*>(g->UserData);
          const size_t count = std::min(static_cast<size_t>(n), in->bytes->size() - in->at);
          std::memcpy(d, in->bytes->data() + in->at, count);
          in->at += count;
          return static_cast<int>(count);
        },
        &error);
    DGifSlurp(gif);
    const SavedImage& image = gif->SavedImages[0];
    const ColorMapObject* map = gif->SColorMap;
    uint32_t colours[256] = {};
    for (int i = 0; i < map->ColorCount; ++i) {
      colours[i] = static_cast<uint32_t>(map->Colors[i].Red) << 16 | map->Colors[i].Green << 8 |
                   map->Colors[i].Blue;
    }
    std::vector<uint32_t> pixels(static_cast<size_t>(gif->SWidth) * gif->SHeight);
    for (size_t i = 0; i < pixels.size(); ++i) {
      pixels[i] = colours[image.RasterBits[i]];
    }
    benchmark::DoNotOptimize(pixels.data());
    DGifCloseFile(gif, &error);
  }
}

void TgaOurs(benchmark::State& state) {
  OursRead(state, ImageTgaRead, TgaPicture());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 1920 * 1080 * 4);
}

// Five runs each; the summary takes the median, which the other programs
// sharing the machine disturb least.
BENCHMARK(JpegOurs)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(JpegPeer)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(GifOurs)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(GifPeer)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(TgaOurs)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Keeps the milliseconds per iteration of every run for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred && run.iterations > 0) {
        times_[run.run_name.function_name].push_back(run.GetAdjustedRealTime());
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // Median milliseconds of the named benchmark, 0 when it did not run.
  double Median(const std::string& name) const {
    const auto found = times_.find(name);
    if (found == times_.end()) {
      return 0;
    }
    std::vector<double> times = found->second;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
  }

 private:
  std::map<std::string, std::vector<double>> times_;
};

void PrintPair(const SummaryReporter& r, const char* name, const char* ours, const char* peer) {
  const double o = r.Median(ours);
  const double p = r.Median(peer);
  if (o > 0 && p > 0) {
    std::printf("%s: ours %.2f ms, peer %.2f ms, ratio %.2f\n", name, o, p, o / p);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  PrintPair(reporter, "jpeg_decode_1920x1080_420_q90", "JpegOurs", "JpegPeer");
  PrintPair(reporter, "gif_decode_1024x768", "GifOurs", "GifPeer");
  const double tga = reporter.Median("TgaOurs");
  if (tga > 0) {
    std::printf("tga_rle_decode_1920x1080x32: ours %.2f ms, %.0f MB/s of pixels (no peer)\n", tga,
                1920.0 * 1080 * 4 / 1e6 / (tga / 1000));
  }
  benchmark::Shutdown();
  return 0;
}
