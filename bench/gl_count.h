// A counting OpenGL layer for benchmarks. Linked into a benchmark program, it
// defines every OpenGL entry point the game's code calls; because the
// definitions live in the executable, the statically linked modules call them
// instead of the driver's. Each call is counted and then either forwarded to
// the driver (the next definition of the name, from libGL) or, when the layer
// is stubbed, returns at once, so a frame can be timed without the driver.
// The extension entry points asked for by name (SDL_GL_GetProcAddress, which
// the layer defines too) are the layer's own definitions of them.
//
// Stubbed, the calls that return something keep the caller on its normal path:
// - glGetIntegerv answers GL_VIEWPORT and GL_TEXTURE_BINDING_2D, and
//   glGetBooleanv GL_DEPTH_WRITEMASK, from a copy of that state, read from the
//   driver when the layer is stubbed and then kept by the stubbed glViewport,
//   glBindTexture and glDepthMask; glIsEnabled answers GL_DEPTH_TEST from a
//   copy kept by glEnable and glDisable; other names are asked of the driver
//   (counted in GlCountStubQueries);
// - glGetError answers GL_NO_ERROR;
// - the calls that make, test, delete or describe OpenGL objects (glGenLists,
//   glGenTextures, glIsList, glDeleteLists, glDeleteTextures, glGetString)
//   always reach the driver, so the names the game holds stay real when the
//   layer forwards again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// --- Mode -------------------------------------------------------------------------
// Forwarding (the default) or stubbed; needs a current context when stubbing
// (the state copy above is read then).
void GlCountSetForward(bool forward);
bool GlCountForwarding();

// --- Counts -----------------------------------------------------------------------
// Calls of every function since the program started.
uint64_t GlCountTotal();
// Stubbed queries that the driver answered.
uint64_t GlCountStubQueries();
struct GlCountEntry {
  const char* name;
  uint64_t calls;
};
// Every function of the layer with its calls since the program started.
std::vector<GlCountEntry> GlCountTable();
// The file of the library whose entry points the layer forwards to (found
// with dlsym(RTLD_NEXT)); the program must be linked with it.
std::string GlCountDriverLibrary();
