// Runs nbdkit with the Cryptelle plugin on a Unix socket for a test or a
// benchmark, and stops it again. Under AddressSanitizer the plugin needs the
// sanitizer runtime loaded before nbdkit itself, so it is preloaded.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

class NbdkitServer {
 public:
  explicit NbdkitServer(std::string folder)
      : folder_(std::move(folder)),
        socket_(folder_ + "/nbd.sock"),
        pidFile_(folder_ + "/nbdkit.pid"),
        log_(folder_ + "/nbdkit.log") {}
  ~NbdkitServer() { Stop(); }
  NbdkitServer(const NbdkitServer&) = delete;
  NbdkitServer& operator=(const NbdkitServer&) = delete;

  // Starts nbdkit with the plugin and params. True once it serves; false
  // when it exited first (exitStatus() and log() say how).
  bool Start(const std::vector<std::string>& params) {
    unlink(pidFile_.c_str());
    std::vector<std::string> args = {
        CRYPTELLE_NBDKIT, "-f", "-U", socket_, "-P", pidFile_, "--exit-with-parent",
        CRYPTELLE_PLUGIN};
    args.insert(args.end(), params.begin(), params.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) environment.push_back(*entry);
    if (CRYPTELLE_PRELOAD[0] != 0) {
      environment.push_back(std::string("LD_PRELOAD=") + CRYPTELLE_PRELOAD);
      // nbdkit's own allocations outlive its exit by design.
      environment.push_back("ASAN_OPTIONS=detect_leaks=0");
    }
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(&entry[0]);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
      pid_ = -1;
      return false;
    }
    for (int tries = 0; tries < 3000; ++tries) {
      if (access(pidFile_.c_str(), F_OK) == 0) return true;
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pid_ = -1;
        return false;
      }
      const timespec pause = {0, 10 * 1000 * 1000};
      nanosleep(&pause, nullptr);
    }
    Stop();
    return false;
  }

  // Ends nbdkit and waits for it, so the container is closed and unlocked.
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
  }

  const std::string& socket() const { return socket_; }
  std::string uri() const { return "nbd+unix:///?socket=" + socket_; }
  int exitStatus() const { return exitStatus_; }
  std::string log() const {
    std::ifstream file(log_);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

 private:
  std::string folder_;
  std::string socket_;
  std::string pidFile_;
  std::string log_;
  pid_t pid_ = -1;
  int exitStatus_ = -1;
};
