// The ".mat" file: one reader for direct files and content files alike, and
// the writer.
#include <algorithm>
#include <cstring>
#include <string>

#include "framework/datafile/datafile.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"

namespace {

constexpr char kMatId[3] = {'M', 'A', 'T'};
constexpr uint8_t kMajorVersion = 1;
constexpr uint8_t kMinorVersion = 0;
constexpr uint32_t kMaxRunLength = 65535;  // the length is 16-bit

// A number in double quotes, as the messages show values. (Built by appending:
// GCC 12 warns wrongly about a literal + string at -O3.)
std::string Quoted(int64_t value) {
  std::string text(1, '"');
  text += std::to_string(value);
  text += '"';
  return text;
}

// --- Reading ---------------------------------------------------------------------------

// The bytes a reader takes: a direct file or a content file. Both report a
// short read as failure.
class MatSource {
 public:
  MatSource(int32_t file, bool direct) : file_(file), direct_(direct) {}
  bool Bytes(void* buffer, int32_t count) {
    return direct_ ? DataFileDirectRead(file_, buffer, count)
                   : DataFileReadExact(file_, buffer, count);
  }
  bool U8(uint8_t& value) { return Bytes(&value, 1); }
  bool U16(uint16_t& value) {
    uint8_t bytes[2];
    if (!Bytes(bytes, 2)) {
      return false;
    }
    value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    return true;
  }
  bool U32(uint32_t& value) {
    uint8_t bytes[4];
    if (!Bytes(bytes, 4)) {
      return false;
    }
    value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
            static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
  }
  bool I32(int32_t& value) {
    uint32_t bits = 0;
    const bool read = U32(bits);
    value = static_cast<int32_t>(bits);
    return read;
  }

 private:
  int32_t file_;
  bool direct_;
};

// Reads one mat into `raw`; false after logging the failure as `function`.
// Nothing here allocates more than the bytes read can describe: entries and
// names are at most 255, runs are appended as they are read, and the pixels
// are only allocated by decoding, once runs covering them all were read.
bool ReadMat(MatSource& in, const std::string& function, MatRaw& raw) {
  const auto fail = [&function](const std::string& message) {
    LogError(function + " - " + message);
    return false;
  };
  char id[3] = {};
  if (!in.Bytes(id, 3)) {
    return fail("Unable to read mat header.");
  }
  if (std::memcmp(id, kMatId, 3) != 0) {
    return fail("Unrecognized mat header.");
  }
  uint8_t version = 0;
  if (!in.U8(version)) {
    return fail("Unable to read mat major version.");
  }
  if (version != kMajorVersion) {
    return fail("Unsupported mat major version " + Quoted(version) + ".");
  }
  if (!in.U8(version)) {
    return fail("Unable to read mat minor version.");
  }
  if (version != kMinorVersion) {
    return fail("Unsupported mat minor version " + Quoted(version) + ".");
  }
  // A negative size is refused like a zero one.
  if (!in.I32(raw.width)) {
    return fail("Unable to read mat width.");
  }
  if (raw.width <= 0) {
    return fail("No mat width.");
  }
  if (!in.I32(raw.height)) {
    return fail("Unable to read mat height.");
  }
  if (raw.height <= 0) {
    return fail("No mat height.");
  }
  const int64_t pixels = int64_t{raw.width} * raw.height;
  if (pixels > kMatMaxPixels) {
    return fail("Mat of " + std::to_string(raw.width) + " x " + std::to_string(raw.height) +
                " pixels exceeds the limit of " + std::to_string(kMatMaxPixels) + " pixels.");
  }
  uint8_t count = 0;
  if (!in.U8(count)) {
    return fail("Unable to read mat entry count.");
  }
  if (count == 0) {
    return fail("No mat entries.");
  }
  for (int32_t n = 1; n <= count; ++n) {
    MatEntry& entry = raw.entries.emplace_back();
    if (!in.U32(entry.color)) {
      return fail("Unable to read mat color for entry " + Quoted(n) + ".");
    }
    uint8_t length = 0;
    if (!in.U8(length)) {
      return fail("Unable to read mat name length for entry " + Quoted(n) + ".");
    }
    entry.name.resize(length);
    if (length != 0 && !in.Bytes(entry.name.data(), length)) {
      return fail("Unable to read mat name for entry " + Quoted(n) + ".");
    }
  }
  for (int64_t covered = 0; covered < pixels;) {
    MatRun& run = raw.runs.emplace_back();
    if (!in.U16(run.length)) {
      return fail("Unable to read mat run length.");
    }
    if (!in.U8(run.index)) {
      return fail("Unable to read mat run index.");
    }
    if (run.index >= count) {
      return fail("Invalid mat run index " + Quoted(run.index) + ".");
    }
    covered += run.length;
  }
  return true;
}

// Reads into a fresh record, so a failure leaves `raw` empty, never partly
// filled.
bool ReadMatRecord(int32_t file, bool direct, const std::string& function, MatRaw& raw) {
  MatSource in(file, direct);
  MatRaw read;
  if (!ReadMat(in, function, read)) {
    MatRawClear(raw);
    return false;
  }
  raw = std::move(read);
  return true;
}

// --- Writing ---------------------------------------------------------------------------

// Writes fields to a direct file; after the first failure, which it logs as
// "Unable to write " + the field's name, it writes nothing more.
class MatSink {
 public:
  explicit MatSink(int32_t file) : file_(file) {}
  bool Bytes(const void* bytes, size_t count, const char* field) {
    if (failed_) {
      return false;
    }
    if (count > 0 && !DataFileDirectWrite(file_, bytes, static_cast<int32_t>(count))) {
      failed_ = true;
      LogError(std::string("MatDirectSave - Unable to write ") + field + ".");
    }
    return !failed_;
  }
  bool U8(uint32_t value, const char* field) {
    const uint8_t byte = static_cast<uint8_t>(value);
    return Bytes(&byte, 1, field);
  }
  bool U16(uint32_t value, const char* field) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return Bytes(bytes, 2, field);
  }
  bool U32(uint32_t value, const char* field) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return Bytes(bytes, 4, field);
  }
  bool failed() const { return failed_; }

 private:
  int32_t file_;
  bool failed_ = false;
};

// Whether a reader could take the mat back: the count and name lengths fit
// their bytes and every pixel names an entry. Logs why not.
bool Writable(const Mat& mat) {
  const auto refuse = [](const std::string& message) {
    LogError("MatDirectSave - " + message);
    return false;
  };
  if (mat.entries.size() > kMatMaxEntries) {
    return refuse("Unable to save a mat of " + Quoted(static_cast<int64_t>(mat.entries.size())) +
                  " entries; a mat holds at most 255.");
  }
  for (size_t i = 0; i < mat.entries.size(); ++i) {
    if (mat.entries[i].name.size() > kMatMaxNameLength) {
      return refuse("Name of entry " + Quoted(static_cast<int64_t>(i + 1)) +
                    " is longer than 255 bytes.");
    }
  }
  const uint8_t highest = *std::max_element(mat.data.begin(), mat.data.end());
  if (highest >= mat.entries.size()) {
    return refuse("Pixel index " + Quoted(highest) + " names no entry.");
  }
  return true;
}

// The end of the stretch of `value` from `from`, at most `limit`: eight
// pixels at a time while all eight match (mats are mostly long stretches).
size_t StretchEnd(const std::vector<uint8_t>& data, size_t from, uint8_t value, size_t limit) {
  const uint64_t eight = 0x0101010101010101ull * value;
  size_t at = from;
  uint64_t word = 0;
  while (at + 8 <= limit && (std::memcpy(&word, &data[at], 8), word == eight)) {
    at += 8;
  }
  while (at < limit && data[at] == value) {
    ++at;
  }
  return at;
}

// Run-length encodes the pixels row after row, continuing across row ends;
// a stretch longer than a run can hold is split into runs of 65535 and the
// rest.
void WriteRuns(MatSink& out, const std::vector<uint8_t>& data) {
  for (size_t start = 0; start < data.size();) {
    const uint8_t index = data[start];
    const size_t end = StretchEnd(data, start, index, std::min(data.size(), start + kMaxRunLength));
    const bool last = end == data.size();
    if (!out.U16(static_cast<uint32_t>(end - start), last ? "final run length" : "run length") ||
        !out.U8(index, last ? "final entry index" : "entry index")) {
      return;
    }
    start = end;
  }
}

}  // namespace

// --- Reading -------------------------------------------------------------------------

void MatDirectOpen(int32_t file, Mat& mat) {
  MatRaw raw;
  if (!ReadMatRecord(file, true, "MatDirectOpen", raw)) {
    MatClear(mat);
    return;
  }
  MatDecode(raw, mat);
}

void MatDirectOpenRaw(int32_t file, MatRaw& raw) {
  ReadMatRecord(file, true, "MatDirectOpenRaw", raw);
}

void MatOpenRawEmbedded(int32_t file, MatRaw& raw) {
  ReadMatRecord(file, false, "MatOpenRawEmbedded", raw);
}

void MatOpenRaw(const std::string& fileName, MatRaw& raw) {
  const int32_t file = DataFileOpen(fileName);
  if (file == 0) {
    LogError("MatOpenRaw - Unable to open \"" + fileName + "\".");
    MatRawClear(raw);
    return;
  }
  MatOpenRawEmbedded(file, raw);
  DataFileClose(file);
}

void MatOpen(const std::string& fileName, Mat& mat) {
  MatRaw raw;
  MatOpenRaw(fileName, raw);
  MatDecode(raw, mat);
}

// --- Writing -------------------------------------------------------------------------

int32_t MatDirectSave(int32_t file, const Mat& mat) {
  if (!MatIsValid(mat) || !Writable(mat)) {
    return 1;
  }
  MatSink out(file);
  out.Bytes(kMatId, 3, "MAT ID");
  out.U8(kMajorVersion, "major version number");
  out.U8(kMinorVersion, "minor version number");
  out.U32(static_cast<uint32_t>(mat.width), "width");
  out.U32(static_cast<uint32_t>(mat.height), "height");
  out.U8(static_cast<uint32_t>(mat.entries.size()), "entry count");
  for (const MatEntry& entry : mat.entries) {
    out.U32(entry.color, "entry color");
    out.U8(static_cast<uint32_t>(entry.name.size()), "entry name length");
    out.Bytes(entry.name.data(), entry.name.size(), "entry name");
  }
  WriteRuns(out, mat.data);
  return out.failed() ? 2 : 3;
}
