// The agents' inventories: the items each carries, the selected one, the
// bar they are drawn in, and the script routines over them. The Game state
// keeps a variable "<item> location" per item, true while someone holds it.
#include <GL/gl.h>

#include <string>

#include "framework/model/model.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "game/agents.h"
#include "game/game_internal.h"
#include "script/script.h"

namespace {

// The bar: item k at (kBarLeft + kBarStep x k, kBarTop), in front of the room.
constexpr float kBarLeft = 51.0f;
constexpr float kBarStep = 110.0f;
constexpr float kBarTop = 640.0f;
constexpr float kBarDepth = -5.0f;

// Inventory objects name their agent after this many characters.
constexpr size_t kInventoryObjectPrefix = 12;

Agent* AgentNamed(const std::string& name) {
  return AgentGet(AgentFind(name));
}

void SetLocation(const std::string& itemName, bool held) {
  StateVariableSetBool(kStateGame, itemName + " location", held);
}

void PlaceAndRender(Model* model, int32_t k) {
  ModelSetPosition(model, kBarLeft + kBarStep * static_cast<float>(k), kBarTop, kBarDepth);
  ModelRender(model);
}

// Removes the item at the position; the selection follows the item it named.
void RemoveAt(Agent& agent, int32_t position) {
  InventoryItem& item = agent.inventory[static_cast<size_t>(position)];
  SetLocation(item.name, false);
  ModelClose(item.image);
  agent.inventory.erase(agent.inventory.begin() + position);
  if (agent.selectedItem == position) {
    agent.selectedItem = -1;
  } else if (agent.selectedItem > position) {
    --agent.selectedItem;
  }
}

int32_t ItemCount(const Agent& agent) {
  return static_cast<int32_t>(agent.inventory.size());
}

// A routine of the agent named in slot 1.
template <typename Body>
void RegisterAgentRoutine(const char* name, Body body) {
  ScriptAppRoutineRegister(name, [body](int32_t script, int32_t thread) {
    body(script, thread, ScriptParamGetString(script, thread, 1));
    return 1;
  });
}

}  // namespace

void AgentInventoryAdd(const std::string& agentName, const std::string& itemName,
                       const std::string& imageFile) {
  const int32_t id = AgentFind(agentName);
  Agent* agent = AgentGet(id);
  if (agent == nullptr) {
    return;
  }
  const int32_t position = AgentInventoryFind(id, itemName);
  InventoryItem* item = nullptr;
  if (position >= 0) {
    item = &agent->inventory[static_cast<size_t>(position)];
    ModelClose(item->image);
  } else {
    item = &agent->inventory.emplace_back();
    item->name = UtilitiesUpperCase(itemName);
  }
  item->imageFile = imageFile;
  item->image = ModelOpen(GamePrimaryDisplay(), imageFile);
  SetLocation(itemName, true);
}

void AgentInventoryRemove(const std::string& agentName, const std::string& itemName) {
  const int32_t id = AgentFind(agentName);
  const int32_t position = AgentInventoryFind(id, itemName);
  if (position >= 0) {
    RemoveAt(*AgentGet(id), position);
  }
}

int32_t AgentInventoryFind(int32_t id, const std::string& itemName) {
  const Agent* agent = AgentGet(id);
  if (agent == nullptr) {
    return -1;
  }
  const std::string name = UtilitiesUpperCase(itemName);
  for (int32_t k = 0; k < ItemCount(*agent); ++k) {
    if (agent->inventory[static_cast<size_t>(k)].name == name) {
      return k;
    }
  }
  return -1;
}

void AgentInventorySelect(const std::string& agentName, int32_t position) {
  Agent* agent = AgentNamed(agentName);
  if (agent != nullptr) {
    agent->selectedItem = position >= 0 && position < ItemCount(*agent) ? position : -1;
  }
}

void AgentInventorySetHighlight(const std::string& agentName, const std::string& imageFile) {
  Agent* agent = AgentNamed(agentName);
  if (agent != nullptr) {
    ModelClose(agent->inventoryHighlight);
    agent->inventoryHighlight = ModelOpen(GamePrimaryDisplay(), imageFile);
  }
}

void AgentInventoryRender(int32_t id) {
  const Agent* agent = AgentGet(id);
  if (agent == nullptr) {
    return;
  }
  // The bar lies over the room whatever the depth buffer holds.
  const GLboolean depthTest = glIsEnabled(GL_DEPTH_TEST);
  glDisable(GL_DEPTH_TEST);
  for (int32_t k = 0; k < ItemCount(*agent); ++k) {
    if (k == agent->selectedItem) {
      PlaceAndRender(agent->inventoryHighlight, k);
    }
    PlaceAndRender(agent->inventory[static_cast<size_t>(k)].image, k);
  }
  if (depthTest == GL_TRUE) {
    glEnable(GL_DEPTH_TEST);
  }
}

void GameRegisterInventoryCallback() {
  ScriptAppObjRenderRegister("AppRenderInventory", [](const std::string& objectName) {
    if (objectName.size() >= kInventoryObjectPrefix) {
      AgentInventoryRender(AgentFind(objectName.substr(kInventoryObjectPrefix)));
    }
  });
}

void GameRegisterInventoryRoutines() {
  RegisterAgentRoutine("AppAgentInventoryAdd",
                       [](int32_t script, int32_t thread, const std::string& agent) {
                         AgentInventoryAdd(agent, ScriptParamGetString(script, thread, 2),
                                           ScriptParamGetString(script, thread, 3));
                       });
  RegisterAgentRoutine(
      "AppAgentInventoryCount", [](int32_t script, int32_t thread, const std::string& agent) {
        const Agent* found = AgentNamed(agent);
        ScriptParamSetInt(script, thread, 2, found != nullptr ? ItemCount(*found) : 0);
      });
  RegisterAgentRoutine("AppAgentInventoryEmpty",
                       [](int32_t script, int32_t thread, const std::string& agent) {
                         Agent* found = AgentNamed(agent);
                         while (found != nullptr && !found->inventory.empty()) {
                           RemoveAt(*found, 0);
                         }
                         ScriptParamSetInt(script, thread, 2, 0);
                       });
  RegisterAgentRoutine(
      "AppAgentInventoryFirst", [](int32_t script, int32_t thread, const std::string& agent) {
        const Agent* found = AgentNamed(agent);
        ScriptParamSetInt(script, thread, 2, found != nullptr ? found->firstShownItem : 0);
      });
  RegisterAgentRoutine(
      "AppAgentInventoryHasItem", [](int32_t script, int32_t thread, const std::string& agent) {
        const int32_t position =
            AgentInventoryFind(AgentFind(agent), ScriptParamGetString(script, thread, 2));
        ScriptParamSetBool(script, thread, 3, position >= 0);
      });
  RegisterAgentRoutine(
      "AppAgentInventoryName", [](int32_t script, int32_t thread, const std::string& agent) {
        const Agent* found = AgentNamed(agent);
        const int32_t position = ScriptParamGetInt(script, thread, 2);
        const bool inRange = found != nullptr && position >= 0 && position < ItemCount(*found);
        ScriptParamSetString(script, thread, 3,
                             inRange ? found->inventory[static_cast<size_t>(position)].name : "");
      });
  RegisterAgentRoutine("AppAgentInventoryRemove",
                       [](int32_t script, int32_t thread, const std::string& agent) {
                         AgentInventoryRemove(agent, ScriptParamGetString(script, thread, 2));
                       });
  RegisterAgentRoutine("AppAgentInventorySelect",
                       [](int32_t script, int32_t thread, const std::string& agent) {
                         AgentInventorySelect(agent, ScriptParamGetInt(script, thread, 2));
                       });
  RegisterAgentRoutine("AppAgentInventorySelectedIndex", [](int32_t script, int32_t thread,
                                                            const std::string& agent) {
    const Agent* found = AgentNamed(agent);
    ScriptParamSetInt(script, thread, 2, found != nullptr ? found->selectedItem : -1);
  });
  RegisterAgentRoutine("AppAgentInventorySelectedName", [](int32_t script, int32_t thread,
                                                           const std::string& agent) {
    const Agent* found = AgentNamed(agent);
    const bool selected =
        found != nullptr && found->selectedItem >= 0 && found->selectedItem < ItemCount(*found);
    ScriptParamSetString(
        script, thread, 2,
        selected ? found->inventory[static_cast<size_t>(found->selectedItem)].name : "");
  });
  RegisterAgentRoutine("AppAgentInventorySetHighlight",
                       [](int32_t script, int32_t thread, const std::string& agent) {
                         AgentInventorySetHighlight(agent, ScriptParamGetString(script, thread, 2));
                       });
}
