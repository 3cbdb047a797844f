// The start-up benchmark's peer: a bare SDL + OpenGL program that opens a
// 1280 x 720 window, clears it to grey and swaps once, then waits to be
// ended (the timing library ends it at its first swap).
#include <GL/gl.h>
#include <SDL2/SDL.h>

int main(int, char**) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    return 1;
  }
  SDL_Window* window = SDL_CreateWindow("peer", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        1280, 720, SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  if (window == nullptr) {
    return 1;
  }
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (context == nullptr) {
    return 1;
  }
  SDL_GL_SetSwapInterval(0);
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  SDL_GL_SwapWindow(window);
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
