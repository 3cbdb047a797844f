#include <clocale>

#include "shell/shell.h"

int main(int argc, char** argv) {
  std::setlocale(LC_TIME, "");  // the log's start stamp uses the user's formats
  return ShellRun(argc, argv);
}
