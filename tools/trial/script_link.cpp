#include "script_link.h"

#include <stdio.h>
#include <string.h>

std::string ScriptLink::Ask(const std::string& request) {
  std::lock_guard<std::mutex> hold(mutex_);
  printf("ask %s\n", request.c_str());
  fflush(stdout);
  char answer[64] = {};
  if (fgets(answer, sizeof(answer), stdin) == nullptr) return "";
  answer[strcspn(answer, "\r\n")] = 0;
  return answer;
}

void ScriptLink::Tell(const std::string& report) {
  std::lock_guard<std::mutex> hold(mutex_);
  printf("tell %s\n", report.c_str());
  fflush(stdout);
}
