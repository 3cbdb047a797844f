// The module's state, its start and stop, and the registry of displays whose
// models and textures it keeps.
#include <algorithm>

#include "framework/graphics/graphics.h"
#include "framework/log/log.h"
#include "framework/model/model_internal.h"
#include "framework/utilities/utilities.h"

namespace {

ModelModule state;

}  // namespace

ModelModule& ModelData() {
  return state;
}

ModelDisplay* ModelDisplayFind(int32_t display) {
  for (const auto& entry : state.displays) {
    if (entry->id == display) {
      return entry.get();
    }
  }
  return nullptr;
}

bool ModelDisplayCurrent(int32_t display) {
  return GraphicsDisplayMakeCurrent(display);
}

// --- Module lifecycle -------------------------------------------------------------

void ModelStart() {
  LogVersion("qmrModel - Version Alpha.0");
  state = ModelModule{};
  state.noCompile = UtilitiesSwitchPresent("-nocompile");
}

void ModelStop() {
  while (!state.displays.empty()) {
    ModelDisplayRemove(state.displays.front()->id);
  }
  state = ModelModule{};
}

// --- Display registry ---------------------------------------------------------------

void ModelDisplayAdd(int32_t display) {
  if (ModelDisplayFind(display) == nullptr) {
    auto entry = std::make_unique<ModelDisplay>();
    entry->id = display;
    state.displays.push_back(std::move(entry));
  }
}

void ModelDisplayRemove(int32_t display) {
  ModelDisplay* entry = ModelDisplayFind(display);
  if (entry == nullptr) {
    return;
  }
  while (!entry->models.empty()) {
    Model* model = &entry->models.front();
    ModelClose(model);
  }
  while (!entry->textures.empty()) {
    ModelTextureDelete(&entry->textures.front());
  }
  std::erase_if(state.displays, [entry](const auto& held) { return held.get() == entry; });
}

// --- Diagnostics -------------------------------------------------------------------

int32_t ModelCount() {
  size_t count = 0;
  for (const auto& display : state.displays) {
    count += display->models.size();
  }
  return static_cast<int32_t>(count);
}

int32_t ModelTextureCount() {
  size_t count = 0;
  for (const auto& display : state.displays) {
    count += display->textures.size();
  }
  return static_cast<int32_t>(count);
}
