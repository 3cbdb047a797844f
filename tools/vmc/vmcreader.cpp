// Reads a script file back into the writer's records, field by field from
// the object tables, so the tools can show any file the writer can make.
// Counts are checked against the bytes that remain before anything is
// allocated for them.
#include <limits>

#include "tools/vmc/vmctext.h"
#include "tools/vmc/vmctext_internal.h"

namespace {

class Reader {
 public:
  Reader(const std::string& bytes, int32_t version) : bytes_(bytes), version_(version) {}

  bool Has(int32_t since) const { return VmcStores(version_, since); }
  size_t Position() const { return position_; }
  void SetVersion(int32_t version) { version_ = version; }
  const std::string& Error() const { return error_; }

  bool U8(uint8_t& value, const std::string& what) {
    if (!Need(1, what)) {
      return false;
    }
    value = static_cast<uint8_t>(bytes_[position_++]);
    return true;
  }

  bool I32(int32_t& value, const std::string& what) {
    if (!Need(4, what)) {
      return false;
    }
    uint32_t bits = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      bits |= static_cast<uint32_t>(static_cast<uint8_t>(bytes_[position_++])) << shift;
    }
    value = static_cast<int32_t>(bits);
    return true;
  }

  bool Text(std::string& text, const std::string& what) {
    uint8_t length = 0;
    if (!U8(length, what) || !Need(length, what)) {
      return false;
    }
    text = bytes_.substr(position_, length);
    position_ += length;
    return true;
  }

  // A count of entries that take at least minimum bytes each.
  bool Count(int32_t& count, size_t minimum, const std::string& what) {
    const size_t at = position_;
    if (!I32(count, what)) {
      return false;
    }
    if (count < 0 || static_cast<size_t>(count) > Remaining() / minimum) {
      return Fail(at, what + " count " + std::to_string(count) + " does not fit the " +
                          std::to_string(Remaining()) + " bytes that follow");
    }
    return true;
  }

  bool Bytes(std::string& out, size_t count) {
    out = bytes_.substr(position_, count);
    position_ += count;
    return true;
  }

  size_t Remaining() const { return bytes_.size() - position_; }

 private:
  bool Need(size_t count, const std::string& what) {
    return count <= Remaining() || Fail(position_, "the file ends in " + what);
  }
  bool Fail(size_t at, const std::string& message) {
    if (error_.empty()) {
      error_ = "byte " + std::to_string(at) + ": " + message;
    }
    return false;
  }

  const std::string& bytes_;
  int32_t version_;
  size_t position_ = 0;
  std::string error_;
};

bool ReadFrames(Reader& in, VmcFrameSet& set, const std::string& what) {
  if ((in.Has(2) && !in.U8(set.blend, what + ".blend")) ||
      (in.Has(3) && !in.U8(set.memory, what + ".memory"))) {
    return false;
  }
  int32_t count = 0;
  if (!in.Count(count, 4, what + " frame")) {
    return false;
  }
  set.frames.resize(count);
  for (int32_t i = 0; i < count; ++i) {
    VmcFrame& frame = set.frames[i];
    const std::string where = what + " frame " + std::to_string(i + 1);
    int32_t images = 0;
    if ((in.Has(8) && !in.Text(frame.mat, where + " mat")) ||
        !in.Count(images, 1, where + " image")) {
      return false;
    }
    frame.images.resize(images);
    for (std::string& image : frame.images) {
      if (!in.Text(image, where + " image name")) {
        return false;
      }
    }
  }
  return true;
}

bool ReadTriangles(Reader& in, std::vector<VmcTriangle>& triangles, const std::string& what) {
  int32_t count = 0;
  if (!in.Count(count, sizeof(VmcTriangle), what)) {
    return false;
  }
  triangles.resize(count);
  for (VmcTriangle& triangle : triangles) {
    for (int32_t& value : triangle) {
      if (!in.I32(value, what)) {
        return false;
      }
    }
  }
  return true;
}

bool ReadNames(Reader& in, std::vector<std::string>& names, const std::string& what) {
  int32_t count = 0;
  if (!in.Count(count, 1, what)) {
    return false;
  }
  names.resize(count);
  for (std::string& name : names) {
    if (!in.Text(name, what + " name")) {
      return false;
    }
  }
  return true;
}

// owner names the object; the field's name is added.
bool ReadField(Reader& in, VmcObject& object, const VmcField& field, const std::string& owner) {
  const std::string what = owner + " " + field.name;
  const VmcFieldRef ref = field.at(object);
  switch (field.kind) {
    case VmcFieldKind::kInt:
      return in.I32(*std::get<int32_t*>(ref), what);
    case VmcFieldKind::kFlag:
    case VmcFieldKind::kByte:
      return in.U8(*std::get<uint8_t*>(ref), what);
    case VmcFieldKind::kText:
      return in.Text(*std::get<std::string*>(ref), what);
    case VmcFieldKind::kFrames:
      return ReadFrames(in, *std::get<VmcFrameSet*>(ref), what);
    case VmcFieldKind::kTriangles:
      return ReadTriangles(in, *std::get<std::vector<VmcTriangle>*>(ref), what);
    case VmcFieldKind::kNames:
      return ReadNames(in, *std::get<std::vector<std::string>*>(ref), what);
  }
  return false;
}

bool ReadObject(Reader& in, VmcObject& object, int32_t index) {
  const std::string what = "object " + std::to_string(index);
  if (!in.I32(object.type, what + " type") || !in.Text(object.name, what + " name") ||
      !in.U8(object.display, what + " display") ||
      (in.Has(4) && !in.I32(object.order, what + " order"))) {
    return false;
  }
  for (const VmcField& field : VmcFieldsOf(object.type)) {
    if (in.Has(field.since) && !ReadField(in, object, field, what)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool VmcRead(const std::string& bytes, VmcScript& script, std::string& error) {
  script = VmcScript{};
  Reader in(bytes, 0);
  int32_t routines = 0;
  int32_t objects = 0;
  int32_t codeCount = 0;
  bool ok = in.I32(script.version, "the version") && in.Count(routines, 1, "routine");
  in.SetVersion(script.version);
  if (ok) {
    script.routines.resize(routines);
    for (size_t i = 0; ok && i < script.routines.size(); ++i) {
      ok = in.Text(script.routines[i], "routine name " + std::to_string(i));
    }
  }
  // An object takes at least its type, name length and display id.
  ok = ok && in.Count(objects, 6, "object");
  if (ok) {
    script.objects.resize(objects);
    for (int32_t i = 0; ok && i < objects; ++i) {
      ok = ReadObject(in, script.objects[i], i);
    }
  }
  ok = ok && in.U8(script.listener, "the listener flag") &&
       in.I32(script.listenerAddress, "the listener address") &&
       in.Count(codeCount, 1, "code byte");
  if (!ok) {
    error = in.Error();
    return false;
  }
  in.Bytes(script.code, static_cast<size_t>(codeCount));
  in.Bytes(script.trailing, in.Remaining());
  return true;
}
