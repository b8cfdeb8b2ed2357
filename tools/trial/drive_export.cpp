#include "drive_export.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <string>
#include <utility>

#include "nbd_export.h"
#include "sector_disk.h"
#include "win/unique_handles.h"

namespace {

struct SocketTraits {
  using Handle = SOCKET;
  static Handle Invalid() { return INVALID_SOCKET; }
  static void Close(Handle socket) { closesocket(socket); }
};
using UniqueSocket = UniqueWinHandle<SocketTraits>;

constexpr auto kLetGoPatience = std::chrono::seconds(60);

// A listening socket on 127.0.0.1 and a port the system chose.
UniqueSocket ListenOnLoopback(unsigned* port) {
  UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  if (!listener.valid() ||
      bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener.get(), 1) != 0 ||
      getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return UniqueSocket();
  }
  *port = ntohs(address.sin_port);
  return listener;
}

// The first client, unless `giveUp` is set first.
UniqueSocket AcceptUnless(SOCKET listener, const std::atomic<bool>& giveUp) {
  while (!giveUp) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener, &ready);
    timeval wait = {0, 200000};
    if (select(0, &ready, nullptr, nullptr, &wait) == SOCKET_ERROR) break;
    if (!FD_ISSET(listener, &ready)) continue;
    UniqueSocket client(accept(listener, nullptr, nullptr));
    // Small replies go out at once.
    const BOOL noDelay = TRUE;
    setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof(noDelay));
    return client;
  }
  return UniqueSocket();
}

}  // namespace

DriveExport::~DriveExport() {
  giveUp_ = true;
  if (session_.joinable()) session_.join();
}

int DriveExport::Mount(char letter) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (serving_) return 1;
  }
  if (session_.joinable()) session_.join();
  SectorDisk disk;
  unsigned port = 0;
  UniqueSocket listener = ListenOnLoopback(&port);
  if (!disk.Open() || !listener.valid()) {
    script_->Tell("the driver's disk cannot be served");
    return 0;
  }
  {
    std::lock_guard<std::mutex> hold(mutex_);
    serving_ = true;
  }
  giveUp_ = false;
  session_ = std::thread([this, listener = std::move(listener), disk = std::move(disk)]() mutable {
    UniqueSocket client = AcceptUnless(listener.get(), giveUp_);
    listener.reset();
    if (client.valid()) ServeNbdClient(client.get(), &disk);
    disk.Close();
    std::lock_guard<std::mutex> hold(mutex_);
    serving_ = false;
    ended_.notify_all();
  });
  const std::string request = std::string("mount ") + letter + " " + std::to_string(port);
  if (script_->Ask(request) == "ok") return 1;
  giveUp_ = true;
  return 0;
}

int DriveExport::Release(bool force) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!serving_) return 1;
  }
  if (script_->Ask(force ? "unmount-now" : "unmount") == "busy") return 0;
  std::unique_lock<std::mutex> hold(mutex_);
  ended_.wait_for(hold, kLetGoPatience, [this] { return !serving_; });
  return 1;
}
