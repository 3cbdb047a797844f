#include <algorithm>
#include <cstring>

#include "framework/datafile/datafile.h"
#include "framework/image/image_internal.h"

int32_t ImageSource::Remaining() {
  return std::max(0, Size() - Tell());
}

bool ImageSource::ReadExact(void* buffer, int32_t count) {
  return count >= 0 && Read(buffer, count) == count;
}

bool ImageSource::ReadU8(uint8_t& value) {
  return ReadExact(&value, 1);
}

bool ImageSource::ReadU16(uint16_t& value) {
  uint8_t bytes[2];
  if (!ReadExact(bytes, 2)) {
    return false;
  }
  value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  return true;
}

bool ImageSource::ReadI16(int16_t& value) {
  uint16_t raw = 0;
  const bool ok = ReadU16(raw);
  value = static_cast<int16_t>(raw);
  return ok;
}

bool ImageSource::ReadU32(uint32_t& value) {
  uint8_t bytes[4];
  if (!ReadExact(bytes, 4)) {
    return false;
  }
  value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
          static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return true;
}

bool ImageSource::ReadI32(int32_t& value) {
  uint32_t raw = 0;
  const bool ok = ReadU32(raw);
  value = static_cast<int32_t>(raw);
  return ok;
}

bool ImageSource::Skip(int32_t count) {
  return count >= 0 && count <= Remaining() && Seek(Tell() + count);
}

bool ImageSource::ReadBlock(std::vector<uint8_t>& bytes, int32_t count) {
  if (count < 0 || count > Remaining()) {
    return false;
  }
  bytes.resize(static_cast<size_t>(count));
  return ReadExact(bytes.data(), count);
}

bool ImageSource::ReadRest(std::vector<uint8_t>& bytes) {
  return ReadBlock(bytes, Remaining());
}

int32_t ImageMemorySource::Read(void* buffer, int32_t count) {
  const int32_t available = std::max(0, std::min(count, size_ - position_));
  if (available > 0) {
    std::memcpy(buffer, data_ + position_, static_cast<size_t>(available));
    position_ += available;
  }
  return available;
}

bool ImageMemorySource::Seek(int32_t position) {
  if (position < 0 || position > size_) {
    return false;
  }
  position_ = position;
  return true;
}

int32_t ImageDataFileSource::Read(void* buffer, int32_t count) {
  return DataFileRead(id_, buffer, count);
}

bool ImageDataFileSource::Seek(int32_t position) {
  return position >= 0 && position <= Size() && DataFileSeek(id_, position);
}

int32_t ImageDataFileSource::Tell() {
  return DataFileTell(id_);
}

int32_t ImageDataFileSource::Size() {
  return DataFileSize(id_);
}
