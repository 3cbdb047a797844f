// Speech bubbles: the bubble types (sets of nine border pieces and four
// tails), the layout of a bubble's text, its tiled border model, and drawing
// it inside the virtual screen with its text in the bubble font.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "framework/font/font.h"
#include "framework/log/log.h"
#include "framework/model/model.h"
#include "framework/utilities/utilities.h"
#include "game/agents.h"
#include "game/game_internal.h"

namespace {

constexpr int32_t kScreenWidth = 1280;
constexpr int32_t kScreenHeight = 720;
constexpr float kBubbleZ = -5.0f;
constexpr int32_t kDefaultMaximumWidth = 400;
// Texture coordinates stay this far inside a tile, against bleeding from its neighbours.
constexpr float kInset = 1.0f / 64.0f;
// Every piece is a quad of four vertices.
constexpr int32_t kPieceVertexCount = 4;
constexpr int32_t kBorderPieceCount = 9;
// The opaque black of the text.
constexpr uint32_t kTextColour = 0xFF000000u;

struct BubbleType {
  int32_t tileWidth = 0;
  int32_t tileHeight = 0;
  std::array<ModelTexture*, kBubblePieceCount> textures{};
};

struct PieceFile {
  const char* suffix;
  bool repeat;  // the edges and the centre tile; corners and tails do not
};

constexpr std::array<PieceFile, kBubblePieceCount> kPieceFiles = {{
    {" Top Left.tga", false},
    {" Top.tga", true},
    {" Top Right.tga", false},
    {" Left.tga", true},
    {" Center.tga", true},
    {" Right.tga", true},
    {" Bottom Left.tga", false},
    {" Bottom.tga", true},
    {" Bottom Right.tga", false},
    {" Tail Point Left.tga", false},
    {" Tail Point Left Top.tga", false},
    {" Tail Point Right.tga", false},
    {" Tail Point Right Top.tga", false},
}};

// By type number; entries are never reused for another name.
std::vector<BubbleType> types;

const BubbleType* FindType(int32_t type) {
  if (type < 0 || type >= static_cast<int32_t>(types.size())) {
    return nullptr;
  }
  return &types[static_cast<size_t>(type)];
}

void ReleaseTextures(BubbleType& type) {
  for (ModelTexture*& texture : type.textures) {
    ModelTextureRelease(texture);
  }
}

// Half the corner image, less one pixel; at least 1 so that layouts never
// divide by zero.
int32_t TileSize(int32_t imageSize, const char* what, const std::string& baseName) {
  const int32_t size = imageSize / 2 - 1;
  if (size < 1) {
    LogError(std::string("BubbleOpen - Invalid bubble ") + what + " for \"" + baseName + "\".");
    return 1;
  }
  return size;
}

int32_t Font() {
  return GameDefaultFont();
}

std::string TrimSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Wraps the text into lines of about the target width: a word that passes
// the target stays on the line when it passes it by less than the line falls
// short without it. Blank lines are not kept.
std::vector<std::string> BalancedLines(const std::string& text, int32_t target, int32_t space) {
  std::vector<std::string> lines;
  const auto emit = [&lines](const std::string& line) {
    std::string trimmed = TrimSpaces(line);
    if (!trimmed.empty()) {
      lines.push_back(std::move(trimmed));
    }
  };
  std::string line;
  int32_t width = -space;
  size_t start = 0;
  // Every word ends at a space: the text carries one after its last word.
  for (size_t end = text.find(' '); end != std::string::npos; end = text.find(' ', start)) {
    const std::string word = text.substr(start, end - start);
    start = end + 1;
    const int32_t wordWidth = FontTextWidth(Font(), word);
    if (target >= width + space + wordWidth) {
      line += " " + word;
      width += wordWidth + space;
      continue;
    }
    const bool keep = width + space + wordWidth - target < target - width;
    if (keep) {
      line += " " + word;
    }
    emit(line);
    line = keep ? std::string() : word;
    width = keep ? -space : wordWidth;
  }
  // The pending line, even when the text ended in a space.
  emit(line);
  return lines;
}

}  // namespace

// --- Types -----------------------------------------------------------------------------

bool BubbleOpen(int32_t type, const std::string& baseName) {
  // A bubble keeps its type in a byte: a larger number would name another type.
  if (type < 0 || type > 255) {
    LogError("BubbleOpen - Invalid bubble type " + std::to_string(type) + " for \"" + baseName +
             "\".");
    return false;
  }
  if (type >= static_cast<int32_t>(types.size())) {
    types.resize(static_cast<size_t>(type) + 1);
  }
  BubbleType& entry = types[static_cast<size_t>(type)];
  for (size_t piece = 0; piece < kPieceFiles.size(); ++piece) {
    if (entry.textures[piece] != nullptr) {
      continue;
    }
    entry.textures[piece] =
        ModelTextureGet(GamePrimaryDisplay(), baseName + kPieceFiles[piece].suffix, false,
                        kPieceFiles[piece].repeat, true);
    ModelTextureAddRef(entry.textures[piece]);
  }
  const ModelSize corner = ModelTextureSize(entry.textures[kBubbleTopLeft]);
  entry.tileWidth = TileSize(corner.width, "width", baseName);
  entry.tileHeight = TileSize(corner.height, "height", baseName);
  return true;
}

void BubbleClose(int32_t type) {
  if (FindType(type) == nullptr) {
    return;
  }
  ReleaseTextures(types[static_cast<size_t>(type)]);
  types.erase(types.begin() + type);
}

void BubblesClear() {
  for (BubbleType& type : types) {
    ReleaseTextures(type);
  }
  types.clear();
}

bool BubbleTypeExists(int32_t type) {
  return FindType(type) != nullptr;
}

int32_t BubbleTileWidth(int32_t type) {
  const BubbleType* entry = FindType(type);
  return entry == nullptr ? 0 : entry->tileWidth;
}

int32_t BubbleTileHeight(int32_t type) {
  const BubbleType* entry = FindType(type);
  return entry == nullptr ? 0 : entry->tileHeight;
}

ModelTexture* BubblePieceTexture(int32_t type, BubblePiece piece) {
  const BubbleType* entry = FindType(type);
  if (entry == nullptr || piece < 0 || piece >= kBubblePieceCount) {
    return nullptr;
  }
  return entry->textures[static_cast<size_t>(piece)];
}

// --- Layout ------------------------------------------------------------------------------

bool BubbleBuildCalc(const std::string& text, int32_t type, bool tail, Bubble& bubble,
                     int32_t maximumWidth) {
  const int32_t maximum = maximumWidth == 0 ? kDefaultMaximumWidth : maximumWidth;
  bubble.text = text;
  bubble.tail = tail;
  bubble.type = static_cast<uint8_t>(type);
  if (FindType(type) == nullptr) {
    LogError("BubbleBuildCalc - Invalid bubble type \"" + std::to_string(type) +
             "\".  Dialog not run.");
    return false;
  }
  const int32_t w = BubbleTileWidth(type);
  const int32_t h = BubbleTileHeight(type);
  if (w <= 0 || h < 1) {
    LogError("BubbleBuildCalc - Invlaid bubble dimensions " + std::to_string(w) + "x" +
             std::to_string(h) + ".  Dialog not run.");
    return false;
  }
  const int32_t lineHeight = FontGetHeight(Font()) + 2;
  const int32_t space = FontTextWidth(Font(), " ");
  bubble.lines.clear();
  bubble.columns = 0;
  bubble.rows = 0;

  const std::string spaced = UtilitiesUpperCase(text) + " ";
  const int32_t total = FontTextWidth(Font(), spaced);
  // Without a bubble font every text measures 0: one line.
  const int32_t lineCount = std::max(total / maximum + (total % maximum > 0 ? 1 : 0), 1);
  const auto target = static_cast<int32_t>(
      std::nearbyint(static_cast<double>(total) / static_cast<double>(lineCount)));

  int32_t widest = 0;
  for (std::string& line : BalancedLines(spaced, target, space)) {
    const int32_t width = FontTextWidth(Font(), line);
    widest = std::max(widest, width);
    bubble.lines.push_back({std::move(line), width, 0});
  }
  const auto lines = static_cast<int32_t>(bubble.lines.size());
  bubble.columns = (widest + w - 1) / w;
  // Two rows at least: the top and bottom border rows are counted in them.
  bubble.rows = std::max((lines * lineHeight + h - 1) / h, 2);
  const int32_t inner = bubble.columns * w;
  const int32_t top = (bubble.rows * h - lines * lineHeight) / 2;
  for (int32_t i = 0; i < lines; ++i) {
    BubbleLine& line = bubble.lines[static_cast<size_t>(i)];
    line.x = (inner - line.x) / 2 + w;  // line.x held the line's width
    line.y = i * lineHeight + top;
  }
  bubble.width = (bubble.columns + 2) * w;
  bubble.height = bubble.rows * h;
  bubble.tailY = bubble.height - h;
  return true;
}

// --- The model ---------------------------------------------------------------------------

bool BubbleBuild(Bubble& bubble) {
  ModelClose(bubble.model);
  const int32_t type = bubble.type;
  if (FindType(type) == nullptr) {
    return false;
  }
  bubble.model = ModelNew(GamePrimaryDisplay(), kModelCompilable);
  if (bubble.model == nullptr) {
    return false;
  }
  const int32_t w = BubbleTileWidth(type);
  const int32_t h = BubbleTileHeight(type);
  const int32_t c = bubble.columns;
  const int32_t r = bubble.rows - 2;
  struct Placed {
    BubblePiece piece;
    int32_t x, y, rows, columns;
  };
  const std::array<Placed, 9> pieces = {{
      {kBubbleTopLeft, 0, 0, 1, 1},
      {kBubbleTop, w, 0, 1, c},
      {kBubbleTopRight, w * (c + 1), 0, 1, 1},
      {kBubbleLeft, 0, h, r, 1},
      {kBubbleCenter, w, h, r, c},
      {kBubbleRight, w * (c + 1), h, r, 1},
      {kBubbleBottomLeft, 0, h * (r + 1), 1, 1},
      {kBubbleBottom, w, h * (r + 1), 1, c},
      {kBubbleBottomRight, w * (c + 1), h * (r + 1), 1, 1},
  }};
  for (const Placed& placed : pieces) {
    BubbleAddPiece(bubble.model, placed.x, placed.y, placed.piece == kBubbleBottomRight,
                   BubblePieceTexture(type, placed.piece), placed.rows, placed.columns, h, w);
  }
  return true;
}

void BubbleAddPiece(Model* model, int32_t x, int32_t y, bool compile, ModelTexture* texture,
                    int32_t rows, int32_t columns, int32_t tileHeight, int32_t tileWidth) {
  if (model == nullptr || texture == nullptr) {
    return;
  }
  const int32_t first = ModelVertexCount(model);
  const auto left = static_cast<float>(x);
  const auto top = static_cast<float>(y);
  const auto right = static_cast<float>(x + tileWidth * columns);
  const auto bottom = static_cast<float>(y + tileHeight * rows);
  const auto across = static_cast<float>(columns);
  const auto down = static_cast<float>(rows);
  // The texture repeats once per tile, down and across.
  ModelVertexSet(model, first, left, top, kBubbleZ);
  ModelVertexSet(model, first + 1, left, bottom, kBubbleZ);
  ModelVertexSet(model, first + 2, right, top, kBubbleZ);
  ModelVertexSet(model, first + 3, right, bottom, kBubbleZ);
  ModelTexCoordSet(model, first, kInset, kInset);
  ModelTexCoordSet(model, first + 1, kInset, down - kInset);
  ModelTexCoordSet(model, first + 2, across - kInset, kInset);
  ModelTexCoordSet(model, first + 3, across - kInset, down - kInset);
  for (const std::array<int32_t, 3>& corners :
       {std::array<int32_t, 3>{0, 1, 2}, std::array<int32_t, 3>{2, 1, 3}}) {
    ModelTriangle triangle;
    triangle.textures = {{texture, 0}};
    for (size_t i = 0; i < 3; ++i) {
      triangle.vertices[i] = first + corners[i];
      triangle.texCoords[i] = first + corners[i];
    }
    ModelTriangleSet(model, ModelTriangleCount(model), triangle);
  }
  if (compile) {
    ModelCompile(model);
  }
}

// --- Drawing -------------------------------------------------------------------------------

namespace {

// Moves the tail quad by dx relative to the bubble, so that it keeps its
// place on the screen while the bubble moves by -dx.
void ShiftTail(Bubble& bubble, int32_t dx) {
  if (!bubble.tail) {
    return;
  }
  bubble.tailX += dx;
  // The tail's quad follows the border pieces the type has images for: a
  // missing piece added no vertices.
  int32_t first = 0;
  for (int32_t piece = 0; piece < kBorderPieceCount; ++piece) {
    if (BubblePieceTexture(bubble.type, static_cast<BubblePiece>(piece)) != nullptr) {
      first += kPieceVertexCount;
    }
  }
  if (ModelVertexCount(bubble.model) < first + kPieceVertexCount) {
    return;
  }
  for (int32_t i = first; i < first + kPieceVertexCount; ++i) {
    const ModelVertex vertex = ModelVertexGet(bubble.model, i);
    ModelVertexSet(bubble.model, i, vertex.x + static_cast<float>(dx), vertex.y, vertex.z);
  }
  ModelCompile(bubble.model);
}

}  // namespace

void BubbleRender(Bubble& bubble, int32_t offsetX, int32_t offsetY) {
  if (bubble.x < -offsetX) {
    ShiftTail(bubble, -(-offsetX - bubble.x));
    bubble.x = -offsetX;
  }
  if (bubble.x + bubble.width > kScreenWidth - offsetX) {
    ShiftTail(bubble, bubble.x + bubble.width + offsetX - kScreenWidth);
    bubble.x = kScreenWidth - bubble.width - offsetX;
  }
  if (bubble.y < -offsetY) {
    bubble.y = -offsetY;
  }
  if (bubble.y + bubble.height > kScreenHeight - offsetY) {
    bubble.y = kScreenHeight - bubble.height - offsetY;
  }
  const int32_t x = bubble.x + offsetX;
  const int32_t y = bubble.y + offsetY;
  ModelSetPosition(bubble.model, static_cast<float>(x), static_cast<float>(y), kBubbleZ);
  ModelRender(bubble.model);
  FontSetColour(Font(), kTextColour);
  for (const BubbleLine& line : bubble.lines) {
    FontDraw(Font(), line.x + x, line.y + y, line.text);
  }
}
