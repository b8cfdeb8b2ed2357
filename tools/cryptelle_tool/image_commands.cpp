#include "image_commands.h"

#include <errno.h>
#include <fcntl.h>
#include <libgen.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "container_access.h"
#include "image_copy.h"
#include "path_buffer.h"
#include "secure_wipe.h"
#include "tool_core.h"

namespace {

constexpr size_t kMaxPasswordBytes = 4 * kMaxPathUnits + 2;  // room for \r\n

const char kUsage[] =
    "usage: cryptelle-tool export --key-file K --container C --out IMG\n"
    "       cryptelle-tool import --key-file K --container C --in IMG";

struct ImageArguments {
  const char* keyFile = nullptr;
  const char* container = nullptr;
  const char* image = nullptr;
};

int Fail(FILE* err, int status, const std::string& reason) {
  fprintf(err, "cryptelle-tool: %s\n", reason.c_str());
  return status;
}

bool Parse(int argc, const char* const* argv, bool exporting, ImageArguments* args) {
  const char* const imageOption = exporting ? "--out" : "--in";
  for (int i = 2; i < argc; i += 2) {
    if (i + 1 >= argc || argv[i + 1][0] == 0) return false;
    const char** slot = nullptr;
    if (strcmp(argv[i], "--key-file") == 0)
      slot = &args->keyFile;
    else if (strcmp(argv[i], "--container") == 0)
      slot = &args->container;
    else if (strcmp(argv[i], imageOption) == 0)
      slot = &args->image;
    if (slot == nullptr || *slot != nullptr) return false;
    *slot = argv[i + 1];
  }
  return args->keyFile != nullptr && args->container != nullptr && args->image != nullptr;
}

// Helpers return kProceed, or else the exit status after printing the reason.
constexpr int kProceed = -1;

// A password line from in, unlocked against the key file.
int Unlock(FILE* in, FILE* err, const char* keyFile, AesKeySchedule* schedule) {
  Wiped<char[kMaxPasswordBytes + 1]> line;
  size_t length = 0;
  int c = 0;
  while ((c = fgetc(in)) != EOF && c != '\n') {
    if (length == kMaxPasswordBytes) return Fail(err, kToolBadInput, "password is too long");
    line.get()[length++] = static_cast<char>(c);
  }
  if (c == EOF && length == 0)
    return Fail(err, kToolBadInput, "standard input ended before the password");
  if (length > 0 && line.get()[length - 1] == '\r') --length;
  std::string reason;
  const int unlocked = UnlockDiskKey(keyFile, line.get(), length, schedule, &reason);
  if (unlocked == 1) return kProceed;
  return Fail(err, unlocked == 0 ? kToolRefused : kToolBadInput, reason);
}

// The image goes to a private temporary beside it and takes its name only
// when whole, and never over a file that appeared meanwhile.
int Export(FILE* in, FILE* err, const ImageArguments& args) {
  struct stat existing;
  if (lstat(args.image, &existing) == 0)
    return Fail(err, kToolRefused,
                std::string("image ") + args.image + " exists; it is never overwritten");
  ContainerFile container;
  std::string reason;
  if (container.Open(args.container, ContainerFile::Access::kReadOnly, &reason) != 1)
    return Fail(err, kToolBadInput, reason);
  Wiped<AesKeySchedule> schedule;
  const int unlocked = Unlock(in, err, args.keyFile, &schedule.get());
  if (unlocked != kProceed) return unlocked;

  std::string temporary = std::string(args.image) + ".partial-XXXXXX";
  const int out = mkostemp(&temporary[0], O_CLOEXEC);  // mode 0600: the disk is private
  if (out < 0)
    return Fail(err, kToolBadInput,
                std::string("cannot create a file beside ") + args.image + ": " + strerror(errno));
  int status = kToolSuccess;
  if (ExportImage(container, schedule.get(), out, &reason) != 1) {
    status = Fail(err, kToolBadInput, reason);
  } else if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, args.image, RENAME_NOREPLACE) != 0) {
    status =
        errno == EEXIST
            ? Fail(err, kToolRefused,
                   std::string("image ") + args.image +
                       " appeared during the export; it is never overwritten")
            : Fail(err, kToolBadInput,
                   std::string("cannot name the image ") + args.image + ": " + strerror(errno));
  }
  close(out);
  if (status != kToolSuccess) {
    unlink(temporary.c_str());
    return status;
  }
  std::string folder = args.image;
  const int directory = open(dirname(&folder[0]), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    fsync(directory);
    close(directory);
  }
  return kToolSuccess;
}

int Import(FILE* in, FILE* err, const ImageArguments& args) {
  const int image = open(args.image, O_RDONLY | O_CLOEXEC);
  if (image < 0)
    return Fail(err, kToolBadInput,
                std::string("cannot open image ") + args.image + ": " + strerror(errno));
  struct stat imageStatus;
  struct stat containerStatus;
  ContainerFile container;
  std::string reason;
  int status = kToolSuccess;
  if (fstat(image, &imageStatus) != 0 || !S_ISREG(imageStatus.st_mode)) {
    status =
        Fail(err, kToolBadInput, std::string("image ") + args.image + " is not a regular file");
  } else if (container.Open(args.container, ContainerFile::Access::kReadWrite, &reason) != 1) {
    status = Fail(err, kToolBadInput, reason);
  } else if (fstat(container.fd(), &containerStatus) == 0 &&
             containerStatus.st_dev == imageStatus.st_dev &&
             containerStatus.st_ino == imageStatus.st_ino) {
    status = Fail(err, kToolRefused, "the image and the container are the same file");
  } else if (imageStatus.st_size != container.size()) {
    status = Fail(err, kToolRefused,
                  std::string("image is ") + std::to_string(imageStatus.st_size) +
                      " bytes but the container is " + std::to_string(container.size()) +
                      "; nothing was written");
  } else {
    Wiped<AesKeySchedule> schedule;
    const int unlocked = Unlock(in, err, args.keyFile, &schedule.get());
    if (unlocked != kProceed)
      status = unlocked;
    else if (ImportImage(container, schedule.get(), image, &reason) != 1)
      status = Fail(err, kToolBadInput, reason + "; the container is partly rewritten");
  }
  close(image);
  return status;
}

}  // namespace

bool IsImageCommand(int argc, const char* const* argv) {
  return argc >= 2 && (strcmp(argv[1], "export") == 0 || strcmp(argv[1], "import") == 0);
}

int RunImageCommand(int argc, const char* const* argv, FILE* in, FILE* err) {
  const bool exporting = strcmp(argv[1], "export") == 0;
  ImageArguments args;
  if (!Parse(argc, argv, exporting, &args)) return Fail(err, kToolBadInput, kUsage);
  return exporting ? Export(in, err, args) : Import(in, err, args);
}
