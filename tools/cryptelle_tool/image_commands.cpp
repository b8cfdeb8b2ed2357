#include "image_commands.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "container_access.h"
#include "image_copy.h"
#include "secure_wipe.h"
#include "tool_core.h"

namespace {

struct ImageArguments {
  const char* keyFile = nullptr;
  const char* container = nullptr;
  const char* image = nullptr;
};

bool Parse(int argc, const char* const* argv, bool exporting, ImageArguments* args) {
  return ParseOptions(argc, argv,
                      {{"--key-file", &args->keyFile},
                       {"--container", &args->container},
                       {exporting ? "--out" : "--in", &args->image}}) &&
         args->keyFile != nullptr && args->container != nullptr && args->image != nullptr;
}

// A password line from in, unlocked against the key file, and the
// container opened for the key file's generation.
int Unlock(FILE* in, FILE* err, const ImageArguments& args, ContainerFile::Access access,
           cryptdsk::ImageCipher* cipher, ContainerFile* container) {
  Wiped<char[kMaxSecretLineBytes]> line;
  size_t length = 0;
  if (ReadSecretLine(in, err, "password", line.get(), &length) != 1) return -1;
  std::string reason;
  const int unlocked = UnlockDisk(args.keyFile, line.get(), length, cipher, &reason);
  if (unlocked != 1) return unlocked == 0 ? PrintRefusal(err, reason) : PrintFailure(err, reason);
  if (container->Open(args.container, cipher->Generation, access, &reason) != 1)
    return PrintFailure(err, reason);
  return 1;
}

// The image goes to a private temporary beside it and takes its name only
// when whole, and never over a file that appeared meanwhile.
int Export(FILE* in, FILE* err, const ImageArguments& args) {
  struct stat existing;
  if (lstat(args.image, &existing) == 0)
    return PrintRefusal(err,
                        std::string("image ") + args.image + " exists; it is never overwritten");
  ContainerFile container;
  Wiped<cryptdsk::ImageCipher> cipher;
  const int unlocked =
      Unlock(in, err, args, ContainerFile::Access::kReadOnly, &cipher.get(), &container);
  if (unlocked != 1) return unlocked;
  std::string reason;

  std::string temporary = std::string(args.image) + ".partial-XXXXXX";
  const int out = mkostemp(&temporary[0], O_CLOEXEC);  // mode 0600: the disk is private
  if (out < 0)
    return PrintFailure(
        err, std::string("cannot create a file beside ") + args.image + ": " + strerror(errno));
  int result = 1;
  if (ExportImage(container, cipher.get(), out, &reason) != 1) {
    result = PrintFailure(err, reason);
  } else if (renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, args.image, RENAME_NOREPLACE) != 0) {
    result = errno == EEXIST
                 ? PrintRefusal(err, std::string("image ") + args.image +
                                         " appeared during the export; it is never overwritten")
                 : PrintFailure(err, std::string("cannot name the image ") + args.image + ": " +
                                         strerror(errno));
  }
  close(out);
  if (result != 1) {
    unlink(temporary.c_str());
    return result;
  }
  FlushFolderOf(DefaultToolSystem(), args.image);
  return 1;
}

// The open image over the container's disk, once the password unlocks it.
int ImportOpened(FILE* in, FILE* err, const ImageArguments& args, int image) {
  struct stat imageStatus;
  if (fstat(image, &imageStatus) != 0 || !S_ISREG(imageStatus.st_mode))
    return PrintFailure(err, std::string("image ") + args.image + " is not a regular file");
  ContainerFile container;
  Wiped<cryptdsk::ImageCipher> cipher;
  const int unlocked =
      Unlock(in, err, args, ContainerFile::Access::kReadWrite, &cipher.get(), &container);
  if (unlocked != 1) return unlocked;
  struct stat containerStatus;
  if (fstat(container.fd(), &containerStatus) == 0 &&
      containerStatus.st_dev == imageStatus.st_dev && containerStatus.st_ino == imageStatus.st_ino)
    return PrintRefusal(err, "the image and the container are the same file");
  if (imageStatus.st_size != container.size())
    return PrintRefusal(err, std::string("image is ") + std::to_string(imageStatus.st_size) +
                                 " bytes but the container's disk is " +
                                 std::to_string(container.size()) + "; nothing was written");
  std::string reason;
  if (ImportImage(container, cipher.get(), image, &reason) != 1)
    return PrintFailure(err, reason + "; the container is partly rewritten");
  return 1;
}

int Import(FILE* in, FILE* err, const ImageArguments& args) {
  const int image = open(args.image, O_RDONLY | O_CLOEXEC);
  if (image < 0)
    return PrintFailure(err,
                        std::string("cannot open image ") + args.image + ": " + strerror(errno));
  const int result = ImportOpened(in, err, args, image);
  close(image);
  return result;
}

}  // namespace

bool IsImageCommand(int argc, const char* const* argv) {
  return argc >= 2 && (strcmp(argv[1], "export") == 0 || strcmp(argv[1], "import") == 0);
}

int RunImageCommand(int argc, const char* const* argv, FILE* in, FILE* err) {
  const bool exporting = strcmp(argv[1], "export") == 0;
  ImageArguments args;
  if (!Parse(argc, argv, exporting, &args)) return ExitStatus(PrintFailure(err, kToolUsage));
  return ExitStatus(exporting ? Export(in, err, args) : Import(in, err, args));
}
