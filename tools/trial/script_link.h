// The bridge's side of its talk with tools/run-cryptelle: one line on
// standard output per request ("ask ...") or report ("tell ..."); the script
// answers each request with one line on standard input. One at a time.
#pragma once

#include <mutex>
#include <string>

class ScriptLink {
 public:
  // The script's answer ("ok", "busy", "failed"), or "" when it is gone.
  std::string Ask(const std::string& request);
  void Tell(const std::string& report);

 private:
  std::mutex mutex_;
};
