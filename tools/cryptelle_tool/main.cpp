#include "tool_core.h"

int main(int argc, char** argv) {
  return RunTool(argc, argv, stdin, stdout, stderr, DefaultToolSystem());
}
