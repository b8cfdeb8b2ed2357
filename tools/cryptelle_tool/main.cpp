#include "image_commands.h"
#include "tool_core.h"

int main(int argc, char** argv) {
  if (IsImageCommand(argc, argv) && !IsHelpRequest(argc, argv)) return RunImageCommand(argc, argv, stdin, stderr);
  return RunTool(argc, argv, stdin, stdout, stderr, DefaultToolSystem());
}
