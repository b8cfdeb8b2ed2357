#include "tool_core.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "account_records.h"
#include "key_file_v2.h"
#include "path_rules.h"
#include "recovery_file_v2.h"
#include "secure_wipe.h"
#include "utf.h"

namespace {

using SecretText = char16_t[kPathBufferUnits];
using Answers = Wiped<SecretText[kRecoveryAnswerCount]>;
static_assert(kRecoveryAnswerCount == kRecoveryFileV2AnswerCount, "three answers in both");

constexpr size_t kLargestRecoveryFile = std::max(kRecoveryFileSize, kRecoveryFileV2Size);

struct Arguments {
  const char* command = nullptr;
  const char* keyFile = nullptr;
  const char* storagePath = nullptr;
  const char* recoveryFile = nullptr;
  bool wholeDisk = false;
  const char* kdfMemory = nullptr;
  const char* kdfPasses = nullptr;
};

// A key file of either generation, opened with a password.
struct OpenedKeyFile {
  UserKeyFileBytes file;
  uint8_t keyMaterial[kUserKeyMaterialSize];  // first generation
  uint8_t keys[kKeyFileV2KeysSize];           // second generation
  SecretText path;                            // the stored container path
};

// A recovery file as built, of either generation.
struct RecoveryBytes {
  uint8_t bytes[kLargestRecoveryFile];
  size_t size;
};

// A command's input, output and files. Results as the commands': 1, 0, -1.
class Run {
 public:
  Run(FILE* in, FILE* out, FILE* err, const ToolSystem& system)
      : in_(in), out_(out), err_(err), system_(system), files_(system) {}

  int Refuse(const std::string& reason) { return PrintRefusal(err_, reason); }
  int Fail(const std::string& reason) { return PrintFailure(err_, reason); }

  // One line of standard input as UTF-16.
  int ReadSecret(const char* what, SecretText& text) {
    Wiped<char[kMaxSecretLineBytes]> line;
    size_t length = 0;
    if (ReadSecretLine(in_, err_, what, line.get(), &length) != 1) return -1;
    const int converted = Utf8ToUtf16(line.get(), length, text);
    if (converted == -1) return Fail(std::string(what) + " is not UTF-8 text without NUL");
    if (converted == 0) return Fail(std::string(what) + " is longer than 260 UTF-16 units");
    return 1;
  }

  int ReadAnswers(Answers& answers) {
    static const char* const kNames[kRecoveryAnswerCount] = {"mother's maiden name", "hobby",
                                                             "food"};
    for (size_t k = 0; k < kRecoveryAnswerCount; ++k) {
      if (ReadSecret(kNames[k], answers.get()[k]) != 1) return -1;
    }
    return 1;
  }

  // Reads the key file and opens it with password. The second generation's
  // MAC checks the password; in the first, with checkPassword, a path
  // record without a writer's shape is refused as a wrong password.
  int OpenKeyFile(const char* path, const SecretText& password, bool checkPassword,
                  OpenedKeyFile* opened) {
    std::string reason;
    if (ReadUserKeyFile(system_, path, &opened->file, &reason) != 1) return Fail(reason);
    if (opened->file.secondGeneration) {
      const int result = OpenKeyFileV2(opened->file.bytes, kKeyFileV2Size, password,
                                       system_.kdfMemory, opened->keys, opened->path);
      if (result == 0) return Refuse(std::string("wrong password or damaged key file ") + path);
      if (result != 1)
        return Fail(std::string("key file ") + path +
                    " has a damaged header or Argon2id parameters out of range, or there is no "
                    "memory for them");
      return 1;
    }
    if (UnwrapKeyMaterial(opened->file.bytes, password, DeriveAccountKey, opened->keyMaterial) != 1)
      return Fail("password is longer than 260 UTF-16 units");
    if (checkPassword && !StoredPathLooksValid(opened->file.bytes, opened->keyMaterial))
      return Refuse("wrong password");
    DecryptStoredPath(opened->file.bytes, opened->keyMaterial, opened->path);
    return 1;
  }

  // Reads the password and opens the key file with it.
  int ReadAndOpenKeyFile(const char* keyFile, bool checkPassword, OpenedKeyFile* opened) {
    Wiped<SecretText> password;
    const int result = ReadSecret("password", password.get());
    return result == 1 ? OpenKeyFile(keyFile, password.get(), checkPassword, opened) : result;
  }

  int Random(uint8_t* bytes, size_t length) {
    if (system_.randomBytes(bytes, length) != 1) return Fail("the system's random service failed");
    return 1;
  }

  // Builds a recovery file for password under a fresh salt: the second
  // generation's under the key file's Argon2id parameters.
  int BuildRecovery(const SecretText& password, const Answers& answers, bool secondGeneration,
                    const Argon2idParameters& parameters, RecoveryBytes* out) {
    const char16_t* const texts[kRecoveryAnswerCount] = {answers.get()[0], answers.get()[1],
                                                         answers.get()[2]};
    Wiped<uint8_t[kKeyFileV2SaltSize]> salt;
    if (secondGeneration) {
      out->size = kRecoveryFileV2Size;
      if (Random(salt.get(), kKeyFileV2SaltSize) != 1) return -1;
      if (BuildRecoveryFileV2(parameters, salt.get(), password, texts, system_.kdfMemory,
                              out->bytes) != 1)
        return Fail("cannot build the recovery file: no memory for Argon2id");
      return 1;
    }
    out->size = kRecoveryFileSize;
    if (Random(salt.get(), kAccountSaltSize) != 1) return -1;
    const int built = BuildRecoveryFile(salt.get(), password, texts, DeriveAccountKey, out->bytes);
    if (built == 0)
      return Refuse("the password has a character above U+00FF and cannot go into a recovery file");
    return built == 1 ? 1 : Fail("an answer is longer than 260 UTF-16 units");
  }

  int WriteNew(const char* path, const uint8_t* bytes, size_t length, const char* what) {
    const AccountFileWrite written = WriteNewFileWhole(files_, path, bytes, length);
    if (written == AccountFileWrite::kDone) return 1;
    if (written == AccountFileWrite::kExists)
      return Refuse(std::string(what) + " " + path + " exists; it is never overwritten");
    return Fail(std::string("cannot write ") + what + " " + path + ": " + strerror(files_.error()));
  }

  // Replaces the key file by way of its temporary, named as the client
  // names it.
  int ReplaceKeyFile(const char* keyFile, const uint8_t* bytes, size_t length) {
    const std::string temporary = std::string(keyFile) + CT_TEMPORARY_KEY_FILE_SUFFIX;
    const AccountFileWrite written =
        ReplaceKeyFileSafely(files_, keyFile, temporary.c_str(), bytes, length);
    if (written == AccountFileWrite::kExists)
      return Refuse("temporary key file " + temporary +
                    " is left from an earlier change; the password is unchanged");
    if (written == AccountFileWrite::kWriteFailed)
      return Fail("cannot write " + temporary + ": " + strerror(files_.error()) +
                  "; the password is unchanged");
    if (written == AccountFileWrite::kReplaceFailed)
      return Fail(std::string("cannot replace ") + keyFile + ": " + strerror(files_.error()) +
                  "; the password is unchanged");
    return 1;
  }

  // The text may be a password: its one UTF-8 copy is wiped before it goes.
  void Print(const char16_t* text) {
    std::string utf8 = Utf16ToUtf8(text);
    fprintf(out_, "%s\n", utf8.c_str());
    SecureWipe(&utf8[0], utf8.size());
  }

  void Tell(const std::string& what) { PrintRefusal(err_, what); }

  const ToolSystem& system() const { return system_; }

 private:
  FILE* in_;
  FILE* out_;
  FILE* err_;
  const ToolSystem& system_;
  ToolFileStore files_;
};

// The client keeps the recovery file of <folder>/Key/<name>.user at
// <folder>/PRF/<name>.prf; "" for a key file not laid out so.
std::string RecoveryFileBeside(const std::string& keyFile) {
  const std::string extension = ".user";
  const size_t slash = keyFile.rfind('/');
  const std::string file = keyFile.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? "." : keyFile.substr(0, slash);
  const size_t up = folder.rfind('/');
  if (folder.substr(up + 1) != CRYPTELLE_KEY_FOLDER || file.size() <= extension.size() ||
      file.compare(file.size() - extension.size(), extension.size(), extension) != 0)
    return "";
  return folder.substr(0, up + 1) + CRYPTELLE_RECOVERY_FOLDER "/" +
         file.substr(0, file.size() - extension.size()) + ".prf";
}

// The storage path as the client stores it: UTF-16, ASCII lower-cased.
int StoragePathArgument(Run& run, const char* argument, SecretText& path) {
  if (Utf8ToUtf16(argument, strlen(argument), path) != 1)
    return run.Fail("--storage-path is not UTF-8 of at most 260 UTF-16 units");
  ToLowerInPlace(path);
  return 1;
}

// A decimal option from first to last, or fallback when it is absent.
int NumberArgument(Run& run, const char* name, const char* text, uint32_t first, uint32_t last,
                   uint32_t fallback, uint32_t* value) {
  *value = fallback;
  if (text == nullptr) return 1;
  char* end = nullptr;
  errno = 0;
  const unsigned long long parsed = strtoull(text, &end, 10);
  if (text[0] < '0' || text[0] > '9' || *end != 0 || errno != 0 || parsed < first || parsed > last)
    return run.Fail(std::string(name) + " takes a number from " + std::to_string(first) + " to " +
                    std::to_string(last));
  *value = static_cast<uint32_t>(parsed);
  return 1;
}

// The Argon2id cost of a new second-generation user.
int KdfArguments(Run& run, const Arguments& args, Argon2idParameters* parameters) {
  *parameters = kKeyFileV2DefaultParameters;
  if (NumberArgument(run, "--kdf-memory", args.kdfMemory, 8 * parameters->Lanes, 4194304,
                     parameters->MemoryKiB, &parameters->MemoryKiB) != 1)
    return -1;
  return NumberArgument(run, "--kdf-passes", args.kdfPasses, 1, 16, parameters->Passes,
                        &parameters->Passes);
}

// A new first-generation key file. 1, 0 or -1 as the commands.
int BuildFirstGenerationKeyFile(Run& run, const SecretText& storagePath, const SecretText& password,
                                uint8_t out[kUserKeyFileSize]) {
  Wiped<uint8_t[kAccountSaltSize]> salt;
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if (run.Random(salt.get(), kAccountSaltSize) != 1 ||
      run.Random(keyMaterial.get(), kUserKeyMaterialSize) != 1)
    return -1;
  const int built =
      BuildUserKeyFile(salt.get(), keyMaterial.get(), storagePath, password, DeriveAccountKey, out);
  if (built == 0)
    return run.Refuse(
        "the storage path has a character above U+00FF and cannot go into a key file");
  return built == 1 ? 1 : run.Fail("storage path or password is too long");
}

// A second-generation key file for keys, under a fresh salt.
int BuildSecondGenerationKeyFile(Run& run, const Argon2idParameters& parameters,
                                 const uint8_t keys[kKeyFileV2KeysSize],
                                 const SecretText& storagePath, const SecretText& password,
                                 uint8_t out[kKeyFileV2Size]) {
  Wiped<uint8_t[kKeyFileV2SaltSize]> salt;
  if (run.Random(salt.get(), kKeyFileV2SaltSize) != 1) return -1;
  if (BuildKeyFileV2(parameters, salt.get(), keys, storagePath, password, run.system().kdfMemory,
                     out) != 1)
    return run.Fail("cannot build the key file: no memory for Argon2id of " +
                    std::to_string(parameters.MemoryKiB) + " KiB");
  return 1;
}

int NewUser(Run& run, const Arguments& args) {
  const bool withRecovery = args.recoveryFile != nullptr;
  Argon2idParameters parameters = {};
  SecretText storagePath;
  Wiped<SecretText> password;
  Answers answers;
  int result = args.wholeDisk ? KdfArguments(run, args, &parameters) : 1;
  if (result == 1) result = StoragePathArgument(run, args.storagePath, storagePath);
  if (result == 1) result = run.ReadSecret("password", password.get());
  if (result == 1 && withRecovery) result = run.ReadAnswers(answers);
  if (result != 1) return result;

  Wiped<uint8_t[kUserKeyFileSize]> keyFile;
  size_t keyFileSize = kUserKeyFileSize;
  if (args.wholeDisk) {
    keyFileSize = kKeyFileV2Size;
    Wiped<uint8_t[kKeyFileV2KeysSize]> keys;
    result = run.Random(keys.get(), kKeyFileV2KeysSize);
    if (result == 1)
      result = BuildSecondGenerationKeyFile(run, parameters, keys.get(), storagePath,
                                            password.get(), keyFile.get());
  } else {
    result = BuildFirstGenerationKeyFile(run, storagePath, password.get(), keyFile.get());
  }
  if (result != 1) return result;

  Wiped<RecoveryBytes> recovery;
  if (withRecovery && (result = run.BuildRecovery(password.get(), answers, args.wholeDisk,
                                                  parameters, &recovery.get())) != 1)
    return result;
  if ((result = run.WriteNew(args.keyFile, keyFile.get(), keyFileSize, "key file")) != 1)
    return result;
  if (withRecovery && (result = run.WriteNew(args.recoveryFile, recovery->bytes, recovery->size,
                                             "recovery file")) != 1)
    run.system().unlink(args.keyFile);  // ours, made a moment ago
  return result;
}

int Verify(Run& run, const Arguments& args) {
  SecretText storagePath;
  Wiped<OpenedKeyFile> opened;
  int result = StoragePathArgument(run, args.storagePath, storagePath);
  if (result == 1) result = run.ReadAndOpenKeyFile(args.keyFile, false, &opened.get());
  if (result == 1 && std::u16string(opened->path) != std::u16string(storagePath))
    return run.Refuse("the password or the storage path does not match the key file");
  return result;
}

int ShowPath(Run& run, const Arguments& args) {
  Wiped<OpenedKeyFile> opened;
  const int result = run.ReadAndOpenKeyFile(args.keyFile, true, &opened.get());
  if (result == 1) run.Print(opened->path);
  return result;
}

// The key file opened under the old password, written again under the new
// one: the first generation rewrapped (same salt and path bytes), the second
// built anew under a fresh salt with the same keys, path and cost.
int RewriteKeyFile(Run& run, const OpenedKeyFile& opened, const SecretText& newPassword,
                   uint8_t out[kUserKeyFileSize], size_t* size) {
  if (opened.file.secondGeneration) {
    *size = kKeyFileV2Size;
    return BuildSecondGenerationKeyFile(run, KeyFileV2Parameters(opened.file.bytes), opened.keys,
                                        opened.path, newPassword, out);
  }
  *size = kUserKeyFileSize;
  if (RewrapUserKeyFile(opened.file.bytes, opened.keyMaterial, newPassword, DeriveAccountKey,
                        out) != 1)
    return run.Fail("new password is longer than 260 UTF-16 units");
  return 1;
}

int ChangePassword(Run& run, const Arguments& args) {
  const bool withRecovery = args.recoveryFile != nullptr;
  Wiped<SecretText> oldPassword;
  Wiped<SecretText> newPassword;
  Answers answers;
  Wiped<OpenedKeyFile> opened;
  int result = run.ReadSecret("old password", oldPassword.get());
  if (result == 1) result = run.ReadSecret("new password", newPassword.get());
  if (result == 1 && withRecovery) result = run.ReadAnswers(answers);
  if (result == 1) result = run.OpenKeyFile(args.keyFile, oldPassword.get(), true, &opened.get());
  if (result != 1) return result;
  Wiped<uint8_t[kUserKeyFileSize]> changed;
  size_t changedSize = 0;
  if ((result =
           RewriteKeyFile(run, opened.get(), newPassword.get(), changed.get(), &changedSize)) != 1)
    return result;
  // Refuse before anything changes when the recovery file cannot hold it.
  const bool second = opened->file.secondGeneration;
  const Argon2idParameters cost =
      second ? KeyFileV2Parameters(opened->file.bytes) : Argon2idParameters{};
  Wiped<RecoveryBytes> recovery;
  if (withRecovery &&
      (result = run.BuildRecovery(newPassword.get(), answers, second, cost, &recovery.get())) != 1)
    return result;
  if ((result = run.ReplaceKeyFile(args.keyFile, changed.get(), changedSize)) != 1) return result;
  // The earlier recovery file holds the earlier password: it goes either way.
  const std::string earlier = withRecovery ? args.recoveryFile : RecoveryFileBeside(args.keyFile);
  const bool removed = !earlier.empty() && run.system().unlink(earlier.c_str()) == 0;
  if (!earlier.empty() && !removed && errno != ENOENT)
    return run.Fail("password changed, but cannot remove " + earlier + ": " + strerror(errno));
  if (withRecovery)
    return run.WriteNew(args.recoveryFile, recovery->bytes, recovery->size, "recovery file");
  if (removed) run.Tell("removed recovery file " + earlier + ": it held the earlier password");
  return 1;
}

int Recover(Run& run, const Arguments& args) {
  Answers answers;
  if (run.ReadAnswers(answers) != 1) return -1;
  Wiped<uint8_t[kLargestRecoveryFile]> file;
  size_t size = 0;
  bool whole = false;
  int error = 0;
  if (ReadFilePrefix(run.system(), args.recoveryFile, file.get(), kLargestRecoveryFile, &size,
                     &whole, &error) != 1)
    return run.Fail(std::string("cannot read recovery file ") + args.recoveryFile + ": " +
                    strerror(error));
  const bool second = whole && IsRecoveryFileV2(file.get(), size);
  if (!second && (size != kRecoveryFileSize || !whole))
    return run.Fail(std::string("recovery file ") + args.recoveryFile +
                    " is neither 1604 bytes nor a second-generation recovery file");
  const char16_t* const texts[kRecoveryAnswerCount] = {answers.get()[0], answers.get()[1],
                                                       answers.get()[2]};
  Wiped<SecretText> password;
  if (second) {
    const int opened =
        OpenRecoveryFileV2(file.get(), size, texts, run.system().kdfMemory, password.get());
    if (opened == 0)
      return run.Refuse("the answers do not match the recovery file, or it is damaged");
    if (opened != 1)
      return run.Fail(std::string("recovery file ") + args.recoveryFile +
                      " has a damaged header or Argon2id parameters out of range, or there is "
                      "no memory for them");
  } else {
    const int opened = OpenRecoveryFile(file.get(), texts, DeriveAccountKey, password.get());
    if (opened == 0) return run.Refuse("the answers do not match the recovery file");
    if (opened != 1) return run.Fail("recovery file holds no usable password");
  }
  run.Print(password.get());
  return 1;
}

bool ParseArguments(int argc, const char* const* argv, Arguments* args) {
  if (argc < 2) return false;
  args->command = argv[1];
  return ParseOptions(argc, argv,
                      {{"--key-file", &args->keyFile},
                       {"--storage-path", &args->storagePath},
                       {"--recovery-file", &args->recoveryFile},
                       {"--whole-disk", nullptr, &args->wholeDisk},
                       {"--kdf-memory", &args->kdfMemory},
                       {"--kdf-passes", &args->kdfPasses}});
}

// The command args name, when its options fit it.
int RunCommand(Run& run, const Arguments& args) {
  const std::string command = args.command;
  const bool key = args.keyFile != nullptr;
  const bool storage = args.storagePath != nullptr;
  const bool recovery = args.recoveryFile != nullptr;
  const bool kdf = args.kdfMemory != nullptr || args.kdfPasses != nullptr;
  if (command == "new-user" && key && storage && (args.wholeDisk || !kdf))
    return NewUser(run, args);
  if (args.wholeDisk || kdf) return run.Fail(kToolUsage);
  if (command == "verify" && key && storage && !recovery) return Verify(run, args);
  if (command == "show-path" && key && !storage && !recovery) return ShowPath(run, args);
  if (command == "change-password" && key && !storage) return ChangePassword(run, args);
  if (command == "recover" && !key && !storage && recovery) return Recover(run, args);
  return run.Fail(kToolUsage);
}

}  // namespace

bool IsHelpRequest(int argc, const char* const* argv) {
  return (argc == 2 || argc == 3) && strcmp(argv[argc - 1], "--help") == 0;
}

int RunTool(int argc, const char* const* argv, FILE* in, FILE* out, FILE* err,
            const ToolSystem& system) {
  if (IsHelpRequest(argc, argv)) {
    fprintf(out, "%s\n", kToolUsage);
    return kToolSuccess;
  }
  Run run(in, out, err, system);
  Arguments args;
  return ExitStatus(ParseArguments(argc, argv, &args) ? RunCommand(run, args)
                                                      : run.Fail(kToolUsage));
}

int PrintRefusal(FILE* err, const std::string& reason) {
  fprintf(err, "cryptelle-tool: %s\n", reason.c_str());
  return 0;
}

int PrintFailure(FILE* err, const std::string& reason) {
  PrintRefusal(err, reason);
  return -1;
}

bool ParseOptions(int argc, const char* const* argv, std::initializer_list<ToolOption> options) {
  for (int i = 2; i < argc;) {
    const ToolOption* match = nullptr;
    for (const ToolOption& option : options)
      if (strcmp(argv[i], option.name) == 0) match = &option;
    if (match == nullptr) return false;
    if (match->flag != nullptr) {
      if (*match->flag) return false;
      *match->flag = true;
      i += 1;
      continue;
    }
    if (i + 1 >= argc || argv[i + 1][0] == 0 || *match->value != nullptr) return false;
    *match->value = argv[i + 1];
    i += 2;
  }
  return true;
}

int ReadSecretLine(FILE* in, FILE* err, const char* what, char (&line)[kMaxSecretLineBytes],
                   size_t* length) {
  *length = 0;
  int c = 0;
  while ((c = fgetc(in)) != EOF && c != '\n') {
    if (*length == kMaxSecretLineBytes)
      return PrintFailure(err, std::string(what) + " is too long");
    line[(*length)++] = static_cast<char>(c);
  }
  if (c == EOF && *length == 0)
    return PrintFailure(err, std::string("standard input ended before the ") + what);
  if (*length > 0 && line[*length - 1] == '\r') --*length;
  return 1;
}
