// Reads the three model file kinds back into the model writer's records for
// modelconv's listing and OBJ output. Every field is kept, including those the
// game ignores, and every count is checked against the bytes that remain, so
// a damaged file is reported where it goes wrong ("file: offset N: message";
// projects "file:line: message") instead of being half read.
#pragma once

#include <string>

#include "tools/common/model_writer.h"

// A MilkShape file (version 4, with its optional sections) or a piece file
// (by the extension, ".ms3d" or ".ltb") as MilkShape records; a piece file
// gives one group per piece, no materials and no joints.
bool ModelFileRead(const std::string& path, MwModel& model, std::string& error);
// Reads a MilkShape file's bytes; `name` is the file name used in the error.
bool ModelMs3dFromBytes(const std::string& name, const std::string& bytes, MwModel& model,
                        std::string& error);
// Reads a piece file's bytes the way the game finds its fields.
bool ModelPiecesFromBytes(const std::string& name, const std::string& bytes, MwPieceFile& file,
                          std::string& error);
// The listing of a ".ms3d", ".ltb" or ".mpj" file: counts, groups, materials,
// joints, optional sections, indices that name nothing, and for a project each
// animation with the joints it shares with the neutral mesh.
bool ModelFileDump(const std::string& path, std::string& listing, std::string& error);
