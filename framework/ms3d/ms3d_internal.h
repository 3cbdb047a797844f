// What the model module's files share: the readers that fill a mesh, the
// neutral pose, and the drawing state kept per rendering context.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/ms3d/ms3d.h"

// --- Readers ----------------------------------------------------------------------------------
// Each fills an empty mesh from the content file and loads the material
// textures of the display from the file's folder; false after one log line
// naming the file and the item that could not be read.
bool Ms3dReadMilkShape(int32_t display, const std::string& fileName, Ms3dMesh& mesh);
bool Ms3dReadProject(int32_t display, const std::string& fileName, Ms3dMesh& mesh);
bool Ms3dReadPiece(const std::string& fileName, Ms3dMesh& mesh);

// --- Reading file bytes -----------------------------------------------------------------------
// A whole file in memory (left uninitialised before the read fills it).
struct Ms3dFileBytes {
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
};

// A read position in a file held in memory. Every read checks the bytes that
// remain, so a damaged count or length never reads outside the file.
class Ms3dCursor {
 public:
  explicit Ms3dCursor(const Ms3dFileBytes& bytes) : data_(bytes.data.get()), size_(bytes.size) {}

  size_t Position() const { return position_; }
  size_t Remaining() const { return size_ - position_; }
  bool AtEnd() const { return position_ == size_; }
  // False (staying put) past the end.
  bool Seek(size_t position) {
    if (position > size_) {
      return false;
    }
    position_ = position;
    return true;
  }
  // The next `count` bytes, or null when fewer remain.
  const uint8_t* Take(size_t count) {
    if (count > Remaining()) {
      return nullptr;
    }
    const uint8_t* bytes = data_ + position_;
    position_ += count;
    return bytes;
  }
  // True when `count` items of `size` bytes each could still follow.
  bool Holds(size_t count, size_t size) const { return count <= Remaining() / size; }
  bool U8(uint8_t& value) { return Read(value, 1); }
  bool U16(uint16_t& value) { return Read(value, 2); }
  bool I32(int32_t& value) { return Read(value, 4); }
  bool U32(uint32_t& value) { return Read(value, 4); }
  bool F32(float& value) { return Read(value, 4); }

 private:
  template <typename T>
  bool Read(T& value, size_t count) {
    const uint8_t* bytes = Take(count);
    if (bytes != nullptr) {
      std::memcpy(&value, bytes, count);  // the files and the machine are little-endian
    }
    return bytes != nullptr;
  }

  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

// Little-endian fields at a byte pointer.
uint16_t Ms3dU16(const uint8_t* bytes);
float Ms3dF32(const uint8_t* bytes);
// A fixed-size text field up to its first zero byte.
std::string Ms3dText(const uint8_t* field, size_t size);
// A value read from a file, or 0 when it is not a finite number.
float Ms3dFinite(float value);

// `count` 16-byte key frames (time and three values); false when fewer remain.
bool Ms3dReadKeys(Ms3dCursor& in, uint16_t count, std::vector<Ms3dKey>& keys);

// The whole content file; false after the log line when it cannot be opened or read.
bool Ms3dLoadBytes(const std::string& fileName, Ms3dFileBytes& bytes);
// The one log line of a reader that failed: the file and what could not be read.
void Ms3dLogFailure(const std::string& fileName, const std::string& message);
// "<head><index + 1><tail>": items are counted from 1 in messages.
std::string Ms3dNumbered(const std::string& head, size_t index, const std::string& tail);

// --- Paths and the pose ---------------------------------------------------------------------
// The folder part of a content file name with its trailing separator; empty
// when the name has no folder.
std::string Ms3dFolder(const std::string& fileName);

// Finds each joint's parent and builds its matrices, then moves every vertex
// with a joint (and the normals at it) into that joint's space, so that
// drawing through the final matrices gives back the file's positions.
void Ms3dNeutralPose(Ms3dMesh& mesh);

// --- Drawing ----------------------------------------------------------------------------------
// Forgets the entry points and the per-context set-up (module start and stop).
void Ms3dRenderReset();
