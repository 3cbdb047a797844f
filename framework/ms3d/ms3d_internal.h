// What the model module's files share: the readers that fill a mesh, the
// neutral pose, and the drawing state kept per rendering context.
#pragma once

#include <cstdint>
#include <string>

#include "framework/ms3d/ms3d.h"

// --- Readers ----------------------------------------------------------------------------------
// Each fills an empty mesh from the content file and loads the material
// textures of the display from the file's folder; false after one log line
// naming the file and the item that could not be read.
bool Ms3dReadMilkShape(int32_t display, const std::string& fileName, Ms3dMesh& mesh);
bool Ms3dReadProject(int32_t display, const std::string& fileName, Ms3dMesh& mesh);
bool Ms3dReadPiece(const std::string& fileName, Ms3dMesh& mesh);

// The folder part of a content file name with its trailing separator; empty
// when the name has no folder.
std::string Ms3dFolder(const std::string& fileName);

// Finds each joint's parent and builds its matrices, then moves every vertex
// with a joint (and the normals at it) into that joint's space, so that
// drawing through the final matrices gives back the file's positions.
void Ms3dNeutralPose(Ms3dMesh& mesh);

// --- Drawing ----------------------------------------------------------------------------------
// Forgets the entry points and the per-context set-up (module start and stop).
void Ms3dRenderReset();
