// Save files: the variables of every named state in an "STA" chunk and the
// application's own data in an "APP" chunk, after a format version.
//
//   int32 version (1)
//   "STA" int32 length, then per named state:
//     int32 record length, int32 name length + name, int32 variable count,
//     per variable: int32 name length + name, uint8 type, value
//     (type 1: uint8 0/1; type 2: int32; type 3: int32 length + bytes)
//   "APP" int32 length, then whatever the application writes
//
// Integers are little-endian; lengths count the bytes after the length field.
#include "framework/state/state_internal.h"

#include <algorithm>
#include <cstring>

#include "framework/datafile/datafile.h"

namespace {

constexpr int32_t kFormatVersion = 1;

// --- Writing ----------------------------------------------------------------------

class SaveWriter {
 public:
  explicit SaveWriter(int32_t file) : file_(file) {}

  bool Ok() const { return ok_; }

  void Bytes(const void* data, int32_t count) {
    ok_ = ok_ && DataFileDirectWrite(file_, data, count);
  }
  void Byte(uint8_t value) { Bytes(&value, 1); }
  void Int32(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                              static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
    Bytes(bytes, 4);
  }
  void String(const std::string& text) {
    const auto size = static_cast<int32_t>(text.size());
    Int32(size);
    Bytes(text.data(), size);
  }

  // Writes a length placeholder and returns where it stands.
  int32_t BeginLength() {
    const int32_t at = DataFileDirectSize(file_);
    Int32(0);
    return at;
  }
  // Fills in the placeholder with the bytes written after it, then returns to
  // the end of the file, wherever the bytes in between left the position.
  void EndLength(int32_t at) {
    const int32_t end = DataFileDirectSize(file_);
    ok_ = ok_ && DataFileDirectSeek(file_, at);
    Int32(end - at - 4);
    ok_ = ok_ && DataFileDirectSeek(file_, end);
  }

 private:
  int32_t file_;
  bool ok_ = true;
};

void WriteVariable(SaveWriter& out, const StateVariable& variable) {
  out.String(variable.name);
  out.Byte(variable.type);
  switch (variable.type) {
    case kStateVariableBool:
      out.Byte(variable.boolValue ? 1 : 0);
      break;
    case kStateVariableInt:
      out.Int32(variable.intValue);
      break;
    case kStateVariableString:
      out.String(variable.stringValue);
      break;
  }
}

void WriteStates(SaveWriter& out) {
  out.Bytes("STA", 3);
  const int32_t chunk = out.BeginLength();
  for (const auto& state : StateRecords()) {
    if (state->saveName.empty()) {
      continue;
    }
    const int32_t record = out.BeginLength();
    out.String(state->saveName);
    out.Int32(static_cast<int32_t>(state->variables.size()));
    for (const StateVariable& variable : state->variables) {
      WriteVariable(out, variable);
    }
    out.EndLength(record);
  }
  out.EndLength(chunk);
}

// --- Reading ----------------------------------------------------------------------

// Reads fields in order, never past a limit: the end of the file, chunk or
// record being read. A length field is checked against the bytes that remain
// before anything is allocated for it.
class SaveReader {
 public:
  explicit SaveReader(int32_t file) : file_(file), limit_(DataFileDirectSize(file)) {}

  int64_t Position() const { return position_; }
  int64_t Limit() const { return limit_; }
  void SetLimit(int64_t limit) { limit_ = limit; }

  bool Seek(int64_t position) {
    position_ = position;
    return position <= limit_ && DataFileDirectSeek(file_, static_cast<int32_t>(position));
  }
  bool Bytes(void* to, int64_t count) {
    if (count < 0 || count > limit_ - position_ ||
        !DataFileDirectRead(file_, to, static_cast<int32_t>(count))) {
      return false;
    }
    position_ += count;
    return true;
  }
  bool Byte(uint8_t& value) { return Bytes(&value, 1); }
  bool Int32(int32_t& value) {
    uint8_t bytes[4];
    if (!Bytes(bytes, 4)) {
      return false;
    }
    value = static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                 static_cast<uint32_t>(bytes[3]) << 24);
    return true;
  }
  bool String(std::string& text) {
    int32_t size = 0;
    if (!Int32(size) || size < 0 || size > limit_ - position_) {
      return false;
    }
    text.resize(static_cast<size_t>(size));
    return Bytes(text.data(), size);
  }

 private:
  int32_t file_;
  int64_t position_ = 0;
  int64_t limit_;
};

// Reads one variable. An unknown type leaves no way to find the next field,
// so it fails like a value cut short.
bool ReadVariable(SaveReader& in, StateVariable& variable) {
  if (!in.String(variable.name) || !in.Byte(variable.type)) {
    return false;
  }
  switch (variable.type) {
    case kStateVariableBool: {
      uint8_t value = 0;
      const bool read = in.Byte(value);
      variable.boolValue = value != 0;
      return read;
    }
    case kStateVariableInt:
      return in.Int32(variable.intValue);
    case kStateVariableString:
      return in.String(variable.stringValue);
    default:
      return false;
  }
}

// Sets a read variable on the state with that id; id 0 drops it.
void ApplyVariable(int32_t id, const StateVariable& variable) {
  switch (variable.type) {
    case kStateVariableBool:
      StateVariableSetBool(id, variable.name, variable.boolValue);
      break;
    case kStateVariableInt:
      StateVariableSetInt(id, variable.name, variable.intValue);
      break;
    case kStateVariableString:
      StateVariableSetString(id, variable.name, variable.stringValue);
      break;
  }
}

// Reads a record's state name and variables, handing each variable to
// `take` (with the state name) as soon as it is read.
template <typename Take>
bool ReadStateRecord(SaveReader& in, std::string& name, Take take) {
  int32_t count = 0;
  if (!in.String(name) || !in.Int32(count)) {
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    StateVariable variable;
    if (!ReadVariable(in, variable)) {
      return false;
    }
    take(name, std::move(variable));
  }
  return true;
}

// Reads the records of an "STA" chunk that ends at the reader's limit and
// sets their variables. A damaged record ends the chunk; the variables read
// before it stay set.
void ReadStates(SaveReader& in) {
  const int64_t chunkEnd = in.Limit();
  while (in.Position() < chunkEnd) {
    int32_t length = 0;
    if (!in.Int32(length) || length < 0) {
      return;
    }
    const int64_t recordEnd = std::min(in.Position() + length, chunkEnd);
    in.SetLimit(recordEnd);
    std::string name;
    const bool complete =
        ReadStateRecord(in, name, [](const std::string& stateName, StateVariable&& variable) {
          const StateRecord* state = StateFindBySaveName(stateName);
          ApplyVariable(state == nullptr ? 0 : state->id, variable);
        });
    in.SetLimit(chunkEnd);
    if (!complete || !in.Seek(recordEnd)) {
      return;
    }
  }
}

// Reads every record of an "STA" chunk that ends at the reader's limit; false
// when a record does not fill its length exactly or runs past the chunk.
bool ParseStates(SaveReader& in, std::vector<StateSavedVariables>& states) {
  const int64_t chunkEnd = in.Limit();
  while (in.Position() < chunkEnd) {
    int32_t length = 0;
    if (!in.Int32(length) || length < 0 || length > chunkEnd - in.Position()) {
      return false;
    }
    const int64_t recordEnd = in.Position() + length;
    in.SetLimit(recordEnd);
    StateSavedVariables& record = states.emplace_back();
    const bool complete =
        ReadStateRecord(in, record.name, [&record](const std::string&, StateVariable&& variable) {
          record.variables.push_back(std::move(variable));
        });
    in.SetLimit(chunkEnd);
    if (!complete || in.Position() != recordEnd) {
      return false;
    }
  }
  return true;
}

// Reads one chunk and moves to the next; false at the end of the file or when
// the chunk's header is cut short or has a negative length.
bool ReadChunk(SaveReader& in, int32_t file, const std::string& fileName,
               const StateAppDataReader& reader) {
  char tag[3];
  int32_t length = 0;
  if (!in.Bytes(tag, 3) || !in.Int32(length) || length < 0) {
    return false;
  }
  const int64_t fileEnd = in.Limit();
  const int64_t chunkEnd = in.Position() + length;
  if (std::memcmp(tag, "STA", 3) == 0) {
    in.SetLimit(std::min(chunkEnd, fileEnd));
    ReadStates(in);
    in.SetLimit(fileEnd);
  } else if (std::memcmp(tag, "APP", 3) == 0 && reader) {
    reader(file, fileName);
  }
  return chunkEnd < fileEnd && in.Seek(chunkEnd);
}

}  // namespace

// --- Save files -------------------------------------------------------------------

bool StateWrite(int32_t file, const std::string& fileName, const StateAppDataWriter& writer) {
  SaveWriter out(file);
  out.Int32(kFormatVersion);
  WriteStates(out);
  out.Bytes("APP", 3);
  const int32_t chunk = out.BeginLength();
  if (writer) {
    writer(file, fileName);
  }
  out.EndLength(chunk);
  return out.Ok();
}

// The save is written beside the old one and replaces it only when complete,
// so a full disk or a crash while saving keeps the previous save.
bool StateSave(const std::string& fileName, const StateAppDataWriter& writer) {
  const int32_t file = DataFileDirectCreateReplacement(fileName);
  if (file == 0) {
    return false;
  }
  if (!StateWrite(file, fileName, writer)) {
    DataFileDirectClose(file);
    return false;
  }
  // The commit also refuses the save when a write of the application data failed.
  return DataFileDirectCommit(file);
}

bool StateLoad(const std::string& fileName, const StateAppDataReader& reader) {
  const int32_t file = DataFileDirectOpen(fileName);
  if (file == 0) {
    return false;
  }
  SaveReader in(file);
  int32_t version = 0;  // any version is read the same way
  if (in.Int32(version)) {
    while (ReadChunk(in, file, fileName, reader)) {
    }
  }
  DataFileDirectClose(file);
  return true;
}

bool StateParseVariables(std::string_view chunk, std::vector<StateSavedVariables>& states) {
  states.clear();
  const int32_t file = DataFileDirectOpenMemory(std::string(chunk));
  if (file == 0) {
    return false;
  }
  SaveReader in(file);
  const bool parsed = ParseStates(in, states);
  DataFileDirectClose(file);
  return parsed;
}

void StateApplyVariables(const std::vector<StateSavedVariables>& states) {
  for (const StateSavedVariables& record : states) {
    const StateRecord* state = StateFindBySaveName(record.name);
    if (state == nullptr) {
      continue;
    }
    for (const StateVariable& variable : record.variables) {
      ApplyVariable(state->id, variable);
    }
  }
}
