// nbdkit plugin: a user's container of either generation served as its plain
// disk, through the same transfer procedures as the driver. The password comes from a file, an
// inherited descriptor or the terminal, never from the command line, and a
// wrong one stops nbdkit before it serves anything.

#define NBDKIT_API_VERSION 2
// Requests of one connection run one after another on the connection's own
// thread; connections still run side by side. Handing each request to a
// worker thread cost more in thread switches than the overlap gained: a
// sequential copy read about a third slower that way, and the kernel's
// read-ahead already keeps the storage busy for one reader.
#define THREAD_MODEL NBDKIT_THREAD_MODEL_SERIALIZE_REQUESTS

#include <errno.h>
#include <nbdkit-plugin.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "container_access.h"
#include "secure_wipe.h"

namespace {

// Everything the plugin holds, in one place, for the life of the process.
struct PluginState {
  std::string keyFile;
  std::string container;
  bool readOnly = false;
  char* password = nullptr;  // from nbdkit_read_password; wiped before it is freed
  size_t passwordLength = 0;
  Wiped<cryptdsk::ImageCipher> cipher;
  ContainerFile file;
};

PluginState& State() {
  static PluginState state;
  return state;
}

void ForgetPassword() {
  PluginState& state = State();
  if (state.password != nullptr) {
    SecureWipe(state.password, state.passwordLength);
    free(state.password);
  }
  state.password = nullptr;
  state.passwordLength = 0;
}

// nbdkit reads "-" from the terminal, "-FD" from a descriptor and "+FILE"
// from a file; anything else would be the secret itself on the command line.
int ReadPassword(const char* value) {
  if (value[0] != '-' && value[0] != '+') {
    nbdkit_error(
        "password= takes +FILE, -FD or - (the terminal); "
        "a password is never taken from the command line");
    return -1;
  }
  ForgetPassword();
  char* password = nullptr;
  if (nbdkit_read_password(value, &password) == -1) return -1;
  State().password = password;
  State().passwordLength = strlen(password);
  return 0;
}

int Config(const char* key, const char* value) {
  PluginState& state = State();
  if (strcmp(key, "key-file") == 0) {
    state.keyFile = value;
  } else if (strcmp(key, "container") == 0) {
    state.container = value;
  } else if (strcmp(key, "readonly") == 0) {
    const int parsed = nbdkit_parse_bool(value);
    if (parsed == -1) return -1;
    state.readOnly = parsed == 1;
  } else if (strcmp(key, "password") == 0) {
    return ReadPassword(value);
  } else {
    nbdkit_error("unknown parameter '%s'", key);
    return -1;
  }
  return 0;
}

int ConfigComplete() {
  PluginState& state = State();
  if (state.keyFile.empty() || state.container.empty()) {
    nbdkit_error("key-file= and container= are both required");
    return -1;
  }
  if (state.password == nullptr && ReadPassword("-") == -1) return -1;
  std::string reason;
  const int unlocked = UnlockDisk(state.keyFile.c_str(), state.password, state.passwordLength,
                                  &state.cipher.get(), &reason);
  ForgetPassword();
  if (unlocked != 1) {
    nbdkit_error("%s", reason.c_str());
    return -1;
  }
  const auto access =
      state.readOnly ? ContainerFile::Access::kReadOnly : ContainerFile::Access::kReadWrite;
  if (state.file.Open(state.container.c_str(), state.cipher->Generation, access, &reason) != 1) {
    nbdkit_error("%s", reason.c_str());
    return -1;
  }
  return 0;
}

void Unload() {
  ForgetPassword();
  cryptdsk::ImageCipherWipe(&State().cipher.get());
  State().file.Close();
}

void* Open(int /*readonly*/) {
  return &State();
}

int64_t GetSize(void* /*handle*/) {
  return State().file.size();
}

int CanWrite(void* /*handle*/) {
  return State().readOnly ? 0 : 1;
}

int CanFlush(void* /*handle*/) {
  return 1;
}

int CanFua(void* /*handle*/) {
  return NBDKIT_FUA_NATIVE;
}

// Every connection writes straight into the one file, so a flush on one
// covers the writes of all.
int CanMultiConn(void* /*handle*/) {
  return 1;
}

int BlockSize(void* /*handle*/, uint32_t* minimum, uint32_t* preferred, uint32_t* maximum) {
  *minimum = 512;
  *preferred = 4096;
  *maximum = 32u << 20;
  return 0;
}

int Fail(int error) {
  nbdkit_set_error(error);
  return -1;
}

int PRead(void* /*handle*/, void* buffer, uint32_t count, uint64_t offset, uint32_t /*flags*/) {
  const PluginState& state = State();
  if (offset > static_cast<uint64_t>(INT64_MAX)) return Fail(EINVAL);
  const int error = state.file.Read(state.cipher.get(), static_cast<int64_t>(offset),
                                    static_cast<uint8_t*>(buffer), count);
  if (error == EINVAL)
    nbdkit_error("refused read of %u bytes at %llu: not whole sectors inside the disk", count,
                 static_cast<unsigned long long>(offset));
  return error == 0 ? 0 : Fail(error);
}

int PWrite(void* /*handle*/, const void* buffer, uint32_t count, uint64_t offset, uint32_t flags) {
  const PluginState& state = State();
  if (offset > static_cast<uint64_t>(INT64_MAX)) return Fail(EINVAL);
  int error = state.file.Write(state.cipher.get(), static_cast<int64_t>(offset),
                               static_cast<const uint8_t*>(buffer), count);
  if (error == EINVAL)
    nbdkit_error("refused write of %u bytes at %llu: not whole sectors inside the disk", count,
                 static_cast<unsigned long long>(offset));
  if (error == 0 && (flags & NBDKIT_FLAG_FUA) != 0) error = state.file.Flush();
  return error == 0 ? 0 : Fail(error);
}

int Flush(void* /*handle*/, uint32_t /*flags*/) {
  const int error = State().file.Flush();
  return error == 0 ? 0 : Fail(error);
}

nbdkit_plugin MakePlugin() {
  nbdkit_plugin plugin{};
  plugin.name = "cryptelle";
  plugin.longname = "Cryptelle container";
  plugin.version = "1.0";
  plugin.description = "Serves a Cryptelle container as its plain disk";
  plugin.config = Config;
  plugin.config_complete = ConfigComplete;
  plugin.config_help =
      "key-file=<FILE>       (required) the user's key file\n"
      "container=<FILE>      (required) the user's container\n"
      "password=+FILE|-FD|-  the password from a file, a descriptor or the terminal\n"
      "readonly=true         serve without writes";
  plugin.unload = Unload;
  plugin.open = Open;
  plugin.get_size = GetSize;
  plugin.can_write = CanWrite;
  plugin.can_flush = CanFlush;
  plugin.can_fua = CanFua;
  plugin.can_multi_conn = CanMultiConn;
  plugin.block_size = BlockSize;
  plugin.pread = PRead;
  plugin.pwrite = PWrite;
  plugin.flush = Flush;
  plugin.errno_is_preserved = 0;
  return plugin;
}

nbdkit_plugin g_plugin = MakePlugin();

}  // namespace

NBDKIT_REGISTER_PLUGIN(g_plugin)
