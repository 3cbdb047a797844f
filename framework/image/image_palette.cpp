// Palettes: the nearest-entry search, and the palettes writers store frames
// with. A frame that was never given a palette (every entry 0) is stored
// with its own colours, so that it is not written as black.
#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "framework/image/image_internal.h"

namespace {

constexpr uint32_t kColourMask = 0x00FFFFFF;

uint32_t ChannelOf(uint32_t colour, int channel) {
  return (colour >> (8 * channel)) & 0xFF;
}

struct ColourCount {
  uint32_t colour = 0;
  uint64_t count = 0;
};

// The distinct colours of the pixels (alpha ignored) with their counts, in
// the order they first appear.
std::vector<ColourCount> CountColours(const std::vector<uint32_t>& pixels) {
  std::unordered_map<uint32_t, size_t> slots;
  std::vector<ColourCount> colours;
  for (const uint32_t pixel : pixels) {
    const uint32_t colour = pixel & kColourMask;
    const auto [slot, added] = slots.emplace(colour, colours.size());
    if (added) {
      colours.push_back({colour, 0});
    }
    ++colours[slot->second].count;
  }
  return colours;
}

// A stretch of the colour list that median cut treats as one box, with the
// channel of its widest range.
struct Box {
  size_t begin = 0;
  size_t end = 0;
  int channel = 0;
  uint32_t range = 0;
};

Box MakeBox(const std::vector<ColourCount>& colours, size_t begin, size_t end) {
  Box box{begin, end};
  for (int channel = 0; channel < 3; ++channel) {
    uint32_t low = 255, high = 0;
    for (size_t i = begin; i < end; ++i) {
      low = std::min(low, ChannelOf(colours[i].colour, channel));
      high = std::max(high, ChannelOf(colours[i].colour, channel));
    }
    if (high > low && high - low > box.range) {
      box.channel = channel;
      box.range = high - low;
    }
  }
  return box;
}

// Sorts the box along its widest channel and returns where the pixel count
// reaches half; both parts keep at least one colour.
size_t SplitPoint(std::vector<ColourCount>& colours, const Box& box) {
  const auto first = colours.begin() + static_cast<std::ptrdiff_t>(box.begin);
  const auto last = colours.begin() + static_cast<std::ptrdiff_t>(box.end);
  std::sort(first, last, [&box](const ColourCount& a, const ColourCount& b) {
    return ChannelOf(a.colour, box.channel) < ChannelOf(b.colour, box.channel);
  });
  uint64_t total = 0;
  for (auto it = first; it != last; ++it) {
    total += it->count;
  }
  uint64_t running = 0;
  size_t split = box.begin + 1;
  for (size_t i = box.begin; i + 1 < box.end; ++i) {
    running += colours[i].count;
    split = i + 1;
    if (2 * running >= total) {
      break;
    }
  }
  return split;
}

uint32_t MeanColour(const std::vector<ColourCount>& colours, const Box& box) {
  uint64_t sums[3] = {};
  uint64_t total = 0;
  for (size_t i = box.begin; i < box.end; ++i) {
    for (int channel = 0; channel < 3; ++channel) {
      sums[channel] += ChannelOf(colours[i].colour, channel) * colours[i].count;
    }
    total += colours[i].count;
  }
  uint32_t colour = 0;
  for (int channel = 0; channel < 3; ++channel) {
    colour |= static_cast<uint32_t>((sums[channel] + total / 2) / total) << (8 * channel);
  }
  return colour;
}

// Median cut: the box with the widest channel range is split at the median
// pixel of that channel until there are `entries` boxes; each box gives its
// mean colour.
std::vector<uint32_t> MedianCut(std::vector<ColourCount> colours, size_t entries) {
  std::vector<Box> boxes{MakeBox(colours, 0, colours.size())};
  while (boxes.size() < entries) {
    const auto widest = std::max_element(
        boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.range < b.range; });
    if (widest->range == 0) {
      break;
    }
    const Box box = *widest;
    const size_t split = SplitPoint(colours, box);
    *widest = MakeBox(colours, box.begin, split);
    boxes.push_back(MakeBox(colours, split, box.end));
  }
  std::vector<uint32_t> palette;
  for (const Box& box : boxes) {
    palette.push_back(MeanColour(colours, box));
  }
  return palette;
}

}  // namespace

int32_t ImagePaletteNearestIn(const uint32_t* palette, int32_t entries, uint32_t colour) {
  int32_t best = 0;
  int32_t bestDistance = 768;
  for (int32_t i = 0; i < entries; ++i) {
    const uint32_t entry = palette[i];
    int32_t distance = 0;
    for (int channel = 0; channel < 3; ++channel) {
      distance += std::abs(static_cast<int32_t>(ChannelOf(entry, channel)) -
                           static_cast<int32_t>(ChannelOf(colour, channel)));
    }
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

int32_t ImagePaletteNearest(const ImageFrame* frame, uint32_t colour) {
  if (frame->bitsPerPixel > 8) {
    return 0;
  }
  return ImagePaletteNearestIn(frame->palette.data(), 1 << frame->bitsPerPixel, colour);
}

std::vector<uint32_t> ImageWriterPalette(const ImageFrame* frame, int32_t entries) {
  const auto first = frame->palette.begin();
  const auto last = first + entries;
  if (std::any_of(first, last, [](uint32_t entry) { return (entry & kColourMask) != 0; })) {
    return std::vector<uint32_t>(first, last);
  }
  std::vector<ColourCount> colours = CountColours(frame->pixels);
  if (colours.size() > static_cast<size_t>(entries)) {
    return MedianCut(std::move(colours), static_cast<size_t>(entries));
  }
  std::vector<uint32_t> palette;
  for (const ColourCount& colour : colours) {
    palette.push_back(colour.colour);
  }
  return palette;
}

std::vector<uint8_t> ImagePaletteIndices(const std::vector<uint32_t>& pixels,
                                         const std::vector<uint32_t>& palette) {
  std::vector<uint8_t> indices(pixels.size());
  std::unordered_map<uint32_t, uint8_t> known;
  for (size_t i = 0; i < pixels.size(); ++i) {
    const uint32_t colour = pixels[i] & kColourMask;
    auto found = known.find(colour);
    if (found == known.end()) {
      const int32_t index =
          ImagePaletteNearestIn(palette.data(), static_cast<int32_t>(palette.size()), colour);
      found = known.emplace(colour, static_cast<uint8_t>(index)).first;
    }
    indices[i] = found->second;
  }
  return indices;
}
