// Content files for the room tests: mats in the ".mat" layout, room scripts
// compiled from source, and the pictures of a speech bubble type.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "framework/image/image.h"
#include "framework/mat/mat.h"
#include "tests/support/testsupport.h"
#include "tools/vmcc/vmcc.h"

// The bytes of a valid mat: header, entries, then runs over the pixels row
// by row, each at most 65535 long.
inline std::string MatFileBytes(const Mat& mat) {
  std::string bytes = "MAT";
  const auto put = [&bytes](uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      bytes += static_cast<char>(value >> (8 * i));
    }
  };
  put(1, 1);
  put(0, 1);
  put(static_cast<uint32_t>(mat.width), 4);
  put(static_cast<uint32_t>(mat.height), 4);
  put(static_cast<uint32_t>(mat.entries.size()), 1);
  for (const MatEntry& entry : mat.entries) {
    put(entry.color, 4);
    put(static_cast<uint32_t>(entry.name.size()), 1);
    bytes += entry.name;
  }
  for (size_t start = 0; start < mat.data.size();) {
    size_t end = start;
    while (end < mat.data.size() && mat.data[end] == mat.data[start] && end - start < 65535) {
      ++end;
    }
    put(static_cast<uint32_t>(end - start), 2);
    put(mat.data[start], 1);
    start = end;
  }
  return bytes;
}

// Compiles the source into the program folder's file, after `edit` has
// changed what the source cannot say; a failure fails the test.
inline void WriteScript(const TempFolder& folder, const std::string& file,
                        const std::string& source,
                        const std::function<void(VmcScript&)>& edit = {}) {
  VmccResult compiled;
  ASSERT_TRUE(VmccCompile(source, "test.vms", {}, compiled))
      << (compiled.diagnostics.empty() ? "" : compiled.diagnostics.front());
  if (edit) {
    edit(compiled.script);
  }
  std::string error;
  ASSERT_TRUE(VmcWriterSave(compiled.script, folder.write(file, ""), error)) << error;
}

// The thirteen pieces of the bubble type "Bin\Bubbles\<name>", each an
// opaque white image of 16 x 16 but Top Left, a square of the given side.
inline void WriteBubbleType(const TempFolder& folder, const std::string& name, int32_t corner) {
  for (const char* suffix :
       {" Top Left", " Top", " Top Right", " Left", " Center", " Right", " Bottom Left", " Bottom",
        " Bottom Right", " Tail Point Left", " Tail Point Left Top", " Tail Point Right",
        " Tail Point Right Top"}) {
    const int32_t side = std::string(suffix) == " Top Left" ? corner : 16;
    ImageFrame image;
    image.loaded = 1;
    image.width = side;
    image.height = side;
    image.bitsPerPixel = 32;
    image.pixels.assign(static_cast<size_t>(side) * side, 0xFFFFFFFFu);
    const std::string file = "Bin/Bubbles/" + name + suffix + ".tga";
    ASSERT_TRUE(ImageSave(folder.write(file, ""), &image));
  }
}
