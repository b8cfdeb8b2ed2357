#include "shell_state.h"

ShellState& ClientShell() {
  static ShellState state;
  return state;
}
