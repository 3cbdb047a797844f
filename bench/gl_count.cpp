// The counting OpenGL layer: one list of entry points, from which the
// counters, the names and the definitions are generated.
#include "bench/gl_count.h"

#include <GL/gl.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Every OpenGL entry point that the framework, script, game, shell and
// platform code call, plus what the benchmarks call themselves. The build
// checks that the benchmark program leaves no gl* name to the driver, so a
// call added elsewhere and missing here fails the build.
//
// X(return type, name, parameters, arguments, stub), where stub is what the
// call does while the layer is stubbed:
//   Skip     returns at once;
//   Keep     returns at once, keeping the state copy that queries answer from;
//   Answer   answers from the state copy or with a fixed value;
//   Forward  always reaches the driver.
#define QMR_GL_FUNCTIONS(X)                                                                     \
  X(void, glActiveTextureARB, (GLenum texture), (texture), Skip)                                \
  X(void, glBegin, (GLenum mode), (mode), Skip)                                                 \
  X(void, glBindTexture, (GLenum target, GLuint texture), (target, texture), Keep)              \
  X(void, glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor), Skip)              \
  X(void, glCallList, (GLuint list), (list), Skip)                                              \
  X(void, glClear, (GLbitfield mask), (mask), Skip)                                             \
  X(void, glClearColor, (GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha),          \
    (red, green, blue, alpha), Skip)                                                            \
  X(void, glClientActiveTextureARB, (GLenum texture), (texture), Skip)                          \
  X(void, glColor3f, (GLfloat red, GLfloat green, GLfloat blue), (red, green, blue), Skip)      \
  X(void, glColor4f, (GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha),                 \
    (red, green, blue, alpha), Skip)                                                            \
  X(void, glColor4ub, (GLubyte red, GLubyte green, GLubyte blue, GLubyte alpha),                \
    (red, green, blue, alpha), Skip)                                                            \
  X(void, glColorMask, (GLboolean red, GLboolean green, GLboolean blue, GLboolean alpha),       \
    (red, green, blue, alpha), Skip)                                                            \
  X(void, glCullFace, (GLenum mode), (mode), Skip)                                              \
  X(void, glDeleteLists, (GLuint list, GLsizei range), (list, range), Forward)                  \
  X(void, glDeleteTextures, (GLsizei n, const GLuint* textures), (n, textures), Forward)        \
  X(void, glDepthFunc, (GLenum func), (func), Skip)                                             \
  X(void, glDepthMask, (GLboolean flag), (flag), Keep)                                          \
  X(void, glDisable, (GLenum cap), (cap), Keep)                                                 \
  X(void, glDisableClientState, (GLenum array), (array), Skip)                                  \
  X(void, glDrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count), Skip)  \
  X(void, glEnable, (GLenum cap), (cap), Keep)                                                  \
  X(void, glEnableClientState, (GLenum array), (array), Skip)                                   \
  X(void, glEnd, (void), (), Skip)                                                              \
  X(void, glEndList, (void), (), Skip)                                                          \
  X(void, glFinish, (void), (), Skip)                                                           \
  X(void, glFlush, (void), (), Skip)                                                            \
  X(void, glFrontFace, (GLenum mode), (mode), Skip)                                             \
  X(void, glFrustum,                                                                            \
    (GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble nearVal,            \
     GLdouble farVal),                                                                          \
    (left, right, bottom, top, nearVal, farVal), Skip)                                          \
  X(GLuint, glGenLists, (GLsizei range), (range), Forward)                                      \
  X(void, glGenTextures, (GLsizei n, GLuint * textures), (n, textures), Forward)                \
  X(void, glGetBooleanv, (GLenum pname, GLboolean * params), (pname, params), Answer)           \
  X(GLenum, glGetError, (void), (), Answer)                                                     \
  X(void, glGetFloatv, (GLenum pname, GLfloat * params), (pname, params), Forward)              \
  X(void, glGetIntegerv, (GLenum pname, GLint * params), (pname, params), Answer)               \
  X(const GLubyte*, glGetString, (GLenum which), (which), Forward)                              \
  X(void, glHint, (GLenum target, GLenum mode), (target, mode), Skip)                           \
  X(GLboolean, glIsEnabled, (GLenum cap), (cap), Answer)                                        \
  X(GLboolean, glIsList, (GLuint list), (list), Forward)                                        \
  X(void, glLineWidth, (GLfloat width), (width), Skip)                                          \
  X(void, glLoadIdentity, (void), (), Skip)                                                     \
  X(void, glMatrixMode, (GLenum mode), (mode), Skip)                                            \
  X(void, glNewList, (GLuint list, GLenum mode), (list, mode), Skip)                            \
  X(void, glOrtho,                                                                              \
    (GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble nearVal,            \
     GLdouble farVal),                                                                          \
    (left, right, bottom, top, nearVal, farVal), Skip)                                          \
  X(void, glPixelStorei, (GLenum pname, GLint param), (pname, param), Skip)                     \
  X(void, glPolygonMode, (GLenum face, GLenum mode), (face, mode), Skip)                        \
  X(void, glPopAttrib, (void), (), Skip)                                                        \
  X(void, glPopClientAttrib, (void), (), Skip)                                                  \
  X(void, glPopMatrix, (void), (), Skip)                                                        \
  X(void, glPushAttrib, (GLbitfield mask), (mask), Skip)                                        \
  X(void, glPushClientAttrib, (GLbitfield mask), (mask), Skip)                                  \
  X(void, glPushMatrix, (void), (), Skip)                                                       \
  X(void, glReadPixels,                                                                         \
    (GLint x, GLint y, GLsizei width, GLsizei height, GLenum format, GLenum type,               \
     GLvoid * pixels),                                                                          \
    (x, y, width, height, format, type, pixels), Skip)                                          \
  X(void, glRotatef, (GLfloat angle, GLfloat x, GLfloat y, GLfloat z), (angle, x, y, z), Skip)  \
  X(void, glTexCoord2f, (GLfloat s, GLfloat t), (s, t), Skip)                                   \
  X(void, glTexCoordPointer, (GLint size, GLenum type, GLsizei stride, const GLvoid* pointer),  \
    (size, type, stride, pointer), Skip)                                                        \
  X(void, glTexImage2D,                                                                         \
    (GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,           \
     GLint border, GLenum format, GLenum type, const GLvoid* pixels),                           \
    (target, level, internalFormat, width, height, border, format, type, pixels), Skip)         \
  X(void, glTexParameteri, (GLenum target, GLenum pname, GLint param), (target, pname, param),  \
    Skip)                                                                                       \
  X(void, glTranslatef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), Skip)                     \
  X(void, glVertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z), Skip)                       \
  X(void, glVertexPointer, (GLint size, GLenum type, GLsizei stride, const GLvoid* pointer),    \
    (size, type, stride, pointer), Skip)                                                        \
  X(void, glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height), \
    Keep)

namespace {

enum Function : size_t {
#define QMR_GL_ENUM(ret, name, params, args, stub) k_##name,
  QMR_GL_FUNCTIONS(QMR_GL_ENUM)
#undef QMR_GL_ENUM
      kFunctionCount
};

constexpr const char* kNames[] = {
#define QMR_GL_NAME(ret, name, params, args, stub) #name,
    QMR_GL_FUNCTIONS(QMR_GL_NAME)
#undef QMR_GL_NAME
};

struct Layer {
  bool forward = true;
  uint64_t calls[kFunctionCount] = {};
  void* driver[kFunctionCount] = {};
  uint64_t stubQueries = 0;
  // The state the game reads back, kept while stubbed.
  GLint viewport[4] = {};
  GLint texture = 0;
  GLboolean depthWrites = GL_TRUE;
  GLboolean depthTest = GL_FALSE;
};

Layer layer;

// The driver's definition of the name: the next one after this program's,
// in the OpenGL library the program is linked with.
void* Resolve(Function function) {
  void* address = dlsym(RTLD_NEXT, kNames[function]);
  if (address == nullptr) {
    std::fprintf(stderr, "gl_count: no driver library after the program defines %s\n",
                 kNames[function]);
    std::abort();
  }
  return address;
}

template <typename Pointer>
Pointer Driver(Function function) {
  void*& address = layer.driver[function];
  if (address == nullptr) {
    address = Resolve(function);
  }
  return reinterpret_cast<Pointer>(address);
}

// --- What the stubbed calls that keep or answer state do ---------------------------

void Keep_glBindTexture(GLenum target, GLuint texture) {
  if (target == GL_TEXTURE_2D) {
    layer.texture = static_cast<GLint>(texture);
  }
}

void Keep_glDisable(GLenum cap) {
  if (cap == GL_DEPTH_TEST) {
    layer.depthTest = GL_FALSE;
  }
}

void Keep_glEnable(GLenum cap) {
  if (cap == GL_DEPTH_TEST) {
    layer.depthTest = GL_TRUE;
  }
}

void Keep_glDepthMask(GLboolean flag) {
  layer.depthWrites = flag;
}

void Keep_glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  layer.viewport[0] = x;
  layer.viewport[1] = y;
  layer.viewport[2] = width;
  layer.viewport[3] = height;
}

void Answer_glGetBooleanv(GLenum pname, GLboolean* params) {
  if (pname == GL_DEPTH_WRITEMASK) {
    *params = layer.depthWrites;
  } else {
    ++layer.stubQueries;
    Driver<void (*)(GLenum, GLboolean*)>(k_glGetBooleanv)(pname, params);
  }
}

GLenum Answer_glGetError() {
  return GL_NO_ERROR;
}

GLboolean Answer_glIsEnabled(GLenum cap) {
  if (cap == GL_DEPTH_TEST) {
    return layer.depthTest;
  }
  ++layer.stubQueries;
  return Driver<GLboolean (*)(GLenum)>(k_glIsEnabled)(cap);
}

void Answer_glGetIntegerv(GLenum pname, GLint* params) {
  if (pname == GL_VIEWPORT) {
    for (int i = 0; i < 4; ++i) {
      params[i] = layer.viewport[i];
    }
  } else if (pname == GL_TEXTURE_BINDING_2D) {
    *params = layer.texture;
  } else {
    ++layer.stubQueries;
    Driver<void (*)(GLenum, GLint*)>(k_glGetIntegerv)(pname, params);
  }
}

}  // namespace

// --- The entry points ---------------------------------------------------------------

#define QMR_GL_STUB_Skip(name, args) \
  if (!layer.forward) {              \
    return;                          \
  }
#define QMR_GL_STUB_Keep(name, args) \
  if (!layer.forward) {              \
    Keep_##name args;                \
    return;                          \
  }
#define QMR_GL_STUB_Answer(name, args) \
  if (!layer.forward) {                \
    return Answer_##name args;         \
  }
#define QMR_GL_STUB_Forward(name, args)

#define QMR_GL_DEFINE(ret, name, params, args, stub) \
  extern "C" ret name params {                       \
    ++layer.calls[k_##name];                         \
    QMR_GL_STUB_##stub(name, args);                  \
    return Driver<ret(*) params>(k_##name) args;     \
  }
QMR_GL_FUNCTIONS(QMR_GL_DEFINE)
#undef QMR_GL_DEFINE

// The extension entry points that code asks the platform for by name are the
// layer's own too, so that those calls are counted and stubbed alike.
extern "C" void* SDL_GL_GetProcAddress(const char* proc) {
  if (std::strcmp(proc, "glActiveTextureARB") == 0) {
    return reinterpret_cast<void*>(&glActiveTextureARB);
  }
  if (std::strcmp(proc, "glClientActiveTextureARB") == 0) {
    return reinterpret_cast<void*>(&glClientActiveTextureARB);
  }
  static auto* const sdl =
      reinterpret_cast<void* (*)(const char*)>(dlsym(RTLD_NEXT, "SDL_GL_GetProcAddress"));
  return sdl != nullptr ? sdl(proc) : nullptr;
}

// --- Mode and counts ----------------------------------------------------------------

void GlCountSetForward(bool forward) {
  if (!forward && layer.forward) {
    Driver<void (*)(GLenum, GLint*)>(k_glGetIntegerv)(GL_VIEWPORT, layer.viewport);
    Driver<void (*)(GLenum, GLint*)>(k_glGetIntegerv)(GL_TEXTURE_BINDING_2D, &layer.texture);
    Driver<void (*)(GLenum, GLboolean*)>(k_glGetBooleanv)(GL_DEPTH_WRITEMASK, &layer.depthWrites);
    layer.depthTest = Driver<GLboolean (*)(GLenum)>(k_glIsEnabled)(GL_DEPTH_TEST);
  }
  layer.forward = forward;
}

bool GlCountForwarding() {
  return layer.forward;
}

uint64_t GlCountTotal() {
  uint64_t total = 0;
  for (uint64_t calls : layer.calls) {
    total += calls;
  }
  return total;
}

uint64_t GlCountStubQueries() {
  return layer.stubQueries;
}

std::vector<GlCountEntry> GlCountTable() {
  std::vector<GlCountEntry> table;
  for (size_t i = 0; i < kFunctionCount; ++i) {
    table.push_back({kNames[i], layer.calls[i]});
  }
  return table;
}

std::string GlCountDriverLibrary() {
  Dl_info info{};
  if (dladdr(Driver<void*>(k_glClear), &info) == 0 || info.dli_fname == nullptr) {
    return "";
  }
  return info.dli_fname;
}
