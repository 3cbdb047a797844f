#include "shell/modules.h"

#include <iterator>
#include <string>
#include <utility>

#include "framework/audio/audio.h"
#include "framework/datafile/datafile.h"
#include "framework/font/font.h"
#include "framework/graphics/graphics.h"
#include "framework/image/image.h"
#include "framework/ini/ini.h"
#include "framework/input/input.h"
#include "framework/log/log.h"
#include "framework/mat/mat.h"
#include "framework/model/model.h"
#include "framework/ms3d/ms3d.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/game.h"
#include "script/script.h"
#include "shell/replay.h"

namespace {

struct Module {
  void (*start)();
  void (*stop)();
};

// Start order; the data-file module comes first, so its version line, logged
// before the log has started, goes nowhere.
constexpr Module modules[] = {
    {DataFileStart, DataFileStop},
    {LogStart, LogStop},
    {UtilitiesStart, UtilitiesStop},
    {ImageJpegStart, ImageJpegStop},
    {ImageGifStart, ImageGifStop},
    {ImageStart, ImageStop},
    {FontStart, FontStop},
    {ModelStart, ModelStop},
    {IniStart, IniStop},
    {InputStart, InputStop},
    {GraphicsStart, GraphicsStop},
    {Ms3dStart, Ms3dStop},
    {MatStart, MatStop},
    {ReplayAudioStart, AudioShutdown},
    {StateStart, StateStop},
    {ScriptStart, ScriptStop},
    {GameStart, GameStop},
};

}  // namespace

void ModulesStart() {
  for (const Module& module : modules) {
    module.start();
  }
}

void ModulesStop() {
  for (auto module = std::rbegin(modules); module != std::rend(modules); ++module) {
    module->stop();
  }
}

std::string ModulesResourceLine() {
  const PlatformProcessUsage usage = PlatformProcessUsageNow();
  const std::pair<const char*, int64_t> figures[] = {{"scripts", ScriptCount()},
                                                     {"threads", ScriptThreadCount()},
                                                     {"models", ModelCount()},
                                                     {"textures", ModelTextureCount()},
                                                     {"fonts", FontCount()},
                                                     {"content files", DataFileOpenCount()},
                                                     {"direct files", DataFileDirectOpenCount()},
                                                     {"memory copies", DataFileCacheCount()},
                                                     {"sounds", AudioSoundCount()},
                                                     {"sources", AudioSourceCount()},
                                                     {"heap", usage.heapBytes},
                                                     {"resident", usage.residentBytes},
                                                     {"descriptors", usage.descriptors}};
  std::string line;
  for (const auto& [name, value] : figures) {
    line += std::string(line.empty() ? "" : ", ") + name + " " + std::to_string(value);
  }
  return line;
}
