// qmapack: packs a folder into a ".qma" archive, lists an archive and
// extracts one. Archives are read through the framework's own data-file
// reader, so the tool sees exactly what the game sees.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "framework/datafile/datafile.h"
#include "framework/utilities/utilities.h"
#include "tools/common/tool.h"
#include "tools/qmapack/qmawriter.h"

namespace fs = std::filesystem;

namespace {

const char kUsageText[] =
    "usage: qmapack pack <folder> <archive.qma> [--patch N] [--version V]\n"
    "       qmapack list <archive.qma>\n"
    "       qmapack extract <archive.qma> <folder>\n"
    "\n"
    "pack     stores every file below <folder> as an entry named by its path\n"
    "         relative to the folder with '\\' separators (\"Bin\\Rooms\\x.vmc\").\n"
    "         --patch N    puts the entries in patch set N (1-999999): their names\n"
    "                      get \"PATCH\" + six digits + '\\' in front\n"
    "         --version V  format version 0-511 (default 1)\n"
    "         Names that differ only in case are refused: the game ignores case.\n"
    "list     prints the version, then each entry's size and name\n"
    "extract  writes every entry below <folder>\n";

using NamedFiles = std::vector<std::pair<std::string, fs::path>>;

// The regular files below a folder (except the archive being written),
// sorted by their content names; false when the folder cannot be walked.
bool FilesBelow(const fs::path& folder, const fs::path& skip, NamedFiles& files,
                std::error_code& code) {
  fs::recursive_directory_iterator item(folder, code);
  for (; !code && item != fs::recursive_directory_iterator(); item.increment(code)) {
    std::error_code ignored;
    if (!item->is_regular_file(ignored) || fs::equivalent(item->path(), skip, ignored)) {
      continue;
    }
    std::string name = item->path().lexically_relative(folder).generic_string();
    std::replace(name.begin(), name.end(), '/', '\\');
    files.emplace_back(name, item->path());
  }
  std::sort(files.begin(), files.end());
  return !code;
}

// The game finds entries without regard to case, so of two names that differ
// only in case it could read just one: a message naming both, or empty.
std::string CaseClash(const NamedFiles& files) {
  std::map<std::string, std::string> byKey;
  for (const auto& [name, path] : files) {
    const auto [found, added] = byKey.emplace(UtilitiesUpperCase(name), name);
    if (!added) {
      return "\"" + found->second + "\" and \"" + name +
             "\" differ only in case; the game could read only one of them";
    }
  }
  return {};
}

int Pack(const std::vector<std::string>& args) {
  if (args.size() < 2) {
    return ToolUsageError("qmapack", kUsageText, "pack needs a folder and an archive");
  }
  QmaWriter writer;
  for (size_t i = 2; i < args.size(); i += 2) {
    int32_t value = 0;
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--patch" && hasValue && ToolParseNumber(args[i + 1], 1, 999999, value)) {
      writer.patch = value;
    } else if (args[i] == "--version" && hasValue && ToolParseNumber(args[i + 1], 0, 511, value)) {
      writer.version = static_cast<uint16_t>(value);
    } else {
      return ToolUsageError("qmapack", kUsageText,
                            "bad option \"" + args[i] + (hasValue ? " " + args[i + 1] : "") + "\"");
    }
  }
  const fs::path folder = args[0];
  if (!fs::is_directory(folder)) {
    return ToolFail(args[0], "not a folder");
  }
  NamedFiles files;
  std::error_code code;
  if (!FilesBelow(folder, args[1], files, code)) {
    return ToolFail(args[0], code.message());
  }
  if (const std::string clash = CaseClash(files); !clash.empty()) {
    return ToolFail(args[0], clash);
  }
  for (const auto& [name, path] : files) {
    QmaWriterAddFile(writer, name, path.string());
  }
  std::string error;
  if (!QmaWriterSave(writer, args[1], error)) {
    std::cerr << error << "\n";
    return kToolFailure;
  }
  std::cout << "packed " << writer.entries.size() << " entries into " << args[1] << "\n";
  return 0;
}

bool ReadDirectory(const std::string& archive, DataFileArchiveDirectory& directory) {
  if (!DataFileArchiveRead(archive, directory)) {
    ToolFail(archive, "not a readable archive (missing, no \"QMARC\" header or version above 511)");
    return false;
  }
  return true;
}

int ReportDamage(const std::string& archive, const DataFileArchiveDirectory& directory) {
  if (directory.complete) {
    return 0;
  }
  return ToolFail(archive, "damaged: " + std::to_string(directory.entries.size()) + " of " +
                               std::to_string(directory.declaredCount) +
                               " entries readable, some data may be missing");
}

int List(const std::vector<std::string>& args) {
  if (args.size() != 1) {
    return ToolUsageError("qmapack", kUsageText, "list needs one archive");
  }
  DataFileArchiveDirectory directory;
  if (!ReadDirectory(args[0], directory)) {
    return kToolFailure;
  }
  const size_t count = directory.entries.size();
  std::cout << "version " << directory.version << ", " << count
            << (count == 1 ? " entry\n" : " entries\n");
  for (const DataFileArchiveEntry& entry : directory.entries) {
    std::cout << entry.size << "\t" << entry.name << "\n";
  }
  return ReportDamage(args[0], directory);
}

// The path an entry extracts to; empty when the name could leave the folder.
fs::path ExtractPath(const fs::path& folder, const std::string& name) {
  std::string relative = name;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  const fs::path path(relative);
  if (relative.empty() || path.is_absolute() || relative.find(':') != std::string::npos) {
    return {};
  }
  for (const fs::path& part : path) {
    if (part.empty() || part == "." || part == "..") {
      return {};
    }
  }
  return folder / path;
}

bool ExtractEntry(int32_t archiveId, const DataFileArchiveEntry& entry, const fs::path& target) {
  std::error_code ignored;
  fs::create_directories(target.parent_path(), ignored);
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  std::vector<char> piece(1 << 16);
  int32_t left = entry.size;
  bool ok = out && DataFileDirectSeek(archiveId, entry.offset);
  while (ok && left > 0) {
    const int32_t count = std::min<int32_t>(left, static_cast<int32_t>(piece.size()));
    ok =
        DataFileDirectRead(archiveId, piece.data(), count) && out.write(piece.data(), count).good();
    left -= count;
  }
  return ok;
}

int Extract(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    return ToolUsageError("qmapack", kUsageText, "extract needs an archive and a folder");
  }
  DataFileArchiveDirectory directory;
  if (!ReadDirectory(args[0], directory)) {
    return kToolFailure;
  }
  std::vector<fs::path> targets;
  for (const DataFileArchiveEntry& entry : directory.entries) {
    targets.push_back(ExtractPath(args[1], entry.name));
    if (targets.back().empty()) {
      return ToolFail(args[0], "entry \"" + entry.name + "\" would be written outside the folder");
    }
  }
  const int32_t archiveId = DataFileDirectOpen(args[0]);
  int result = 0;
  for (size_t i = 0; i < targets.size() && result == 0; ++i) {
    if (!ExtractEntry(archiveId, directory.entries[i], targets[i])) {
      result = ToolFail(targets[i].string(), "cannot write the entry");
    }
  }
  DataFileDirectClose(archiveId);
  return result != 0 ? result : ReportDamage(args[0], directory);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = ToolArguments(argc, argv);
  if (ToolHelpAsked(args, kUsageText)) {
    return 0;
  }
  if (args.empty()) {
    return ToolUsageError("qmapack", kUsageText, "no command");
  }
  const std::string command = args[0];
  args.erase(args.begin());
  if (command == "pack") {
    return Pack(args);
  }
  if (command == "list") {
    return List(args);
  }
  if (command == "extract") {
    return Extract(args);
  }
  return ToolUsageError("qmapack", kUsageText, "unknown command \"" + command + "\"");
}
