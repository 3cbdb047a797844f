// Converts between Wavefront OBJ + MTL text (what free modellers export) and
// the model writer's MilkShape records, and turns those records into piece
// files, pick-coloured materials and back. Shared by modelconv and by the
// tests that need a model made from an OBJ.
//
// OBJ to records: every "v" becomes a vertex, in file order (joint none);
// "f" takes "v", "v/vt", "v//vn" and "v/vt/vn" corners, negative indices
// counting back from the last element read, and splits polygons into fans
// from their first corner. Faces are grouped by the last "g" or "o" name and
// the "usemtl" material in force: each distinct (name, material) pair is one
// group, groups in the order they first appear, and the triangles are stored
// group by group so that a written OBJ reads back to the same records. A
// corner's (s, t) is (u, 1 - v); a corner without "vn" gets the face normal
// when its smoothing group ("s") is off or 0, else the normalised sum of the
// faces of that smoothing group at the same "v". Materials are those used, in
// order of first use, from the "mtllib" files (relative to the OBJ's folder):
// Ka, Kd, Ks, Ke (alpha 1), Ns as shininess, d (or 1 - Tr) as transparency,
// map_Kd as the texture and map_d as the second texture, by the name written.
// A "usemtl" alone clears the material.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/common/model_writer.h"

// Reads the text of a file named as the OBJ names it; false when it cannot.
using ObjFileReader = std::function<bool(const std::string& path, std::string& text)>;

// --- OBJ and MTL to records ------------------------------------------------------------------
// Reads the OBJ and its material libraries. False with "file:line: message"
// (or "file: message") in error for text that does not parse, indices naming
// nothing, non-finite numbers, no faces, and what a MilkShape file cannot
// hold (over 65,535 vertices or triangles, 255 groups or 255 materials, names
// longer than their fields). Warnings (an undefined material, a missing
// library) are added as "file:line: message".
bool ObjReadModel(const std::string& objPath, const ObjFileReader& read, MwModel& model,
                  std::vector<std::string>& warnings, std::string& error);

// --- Records to OBJ and MTL ------------------------------------------------------------------
// The OBJ text (naming the library mtlName) and the MTL text of the model:
// every vertex, the distinct texture coordinates and normals, then each group
// with its material and smoothing groups and its triangles in list order.
// Material names that are empty or repeat are made unique. Triangles no group
// lists are left out (they are never drawn); their count is returned.
size_t ObjWriteText(const MwModel& model, const std::string& mtlName, std::string& obj,
                    std::string& mtl);

// --- Pick colours ----------------------------------------------------------------------------
// One label per distinct group name, in order, with its flat pick colour
// (0xRRGGBB, never black) and the file name of its pick texture.
struct ObjPickLabel {
  std::string name;
  uint32_t color = 0;
  std::string texture;
};

// Gives each group a material of its own whose second texture is the pick
// texture of its name ("<textureStem><n>.tga", n from 1): a copy of the
// group's material, or a default material named after the group. False when
// there are more than 254 names (a mat holds 255 entries, one "TRANSPARENT")
// or the texture names are too long.
bool ObjAddPick(MwModel& model, const std::string& textureStem, std::vector<ObjPickLabel>& labels,
                std::string& error);

// --- Piece files ---------------------------------------------------------------------------
// One piece per group, of the layout type (1-5), with a vertex per distinct
// (position, normal, texture coordinate) corner. False when a group name is
// longer than a piece name keeps (32) or the writer would refuse the file.
bool ObjModelToPieces(const MwModel& model, int32_t type, MwPieceFile& file, std::string& error);
// The records of a piece file as a reader takes them: one group per piece,
// no materials, no joints.
void ObjPiecesToModel(const MwPieceFile& file, MwModel& model);

// --- Numbers ---------------------------------------------------------------------------------
// The shortest text that reads back as the same float.
std::string ObjFloatText(float value);
