#include "tool_core.h"

#include <errno.h>
#include <string.h>

#include <string>

#include "account_records.h"
#include "path_rules.h"
#include "secure_wipe.h"
#include "utf.h"

namespace {

constexpr size_t kMaxLineBytes = 4 * kMaxPathUnits + 2;  // room for \r\n

using SecretText = char16_t[kPathBufferUnits];

// Helpers return kProceed, or else the exit status after printing the reason.
constexpr int kProceed = -1;

struct Arguments {
  const char* command = nullptr;
  const char* keyFile = nullptr;
  const char* storagePath = nullptr;
  const char* recoveryFile = nullptr;
};

// Where a command stands: the exit status and the reason already printed.
class Run {
 public:
  Run(FILE* in, FILE* out, FILE* err, const ToolSystem& system)
      : in_(in), out_(out), err_(err), system_(system) {}

  int Fail(int status, const std::string& reason) {
    fprintf(err_, "cryptelle-tool: %s\n", reason.c_str());
    return status;
  }

  // One line of standard input as UTF-16. 1, or the exit status on failure.
  int ReadSecret(const char* what, SecretText& text) {
    Wiped<char[kMaxLineBytes + 1]> line;
    size_t length = 0;
    int c = 0;
    while ((c = fgetc(in_)) != EOF && c != '\n') {
      if (length == kMaxLineBytes) return Fail(kToolBadInput, std::string(what) + " is too long");
      line.get()[length++] = static_cast<char>(c);
    }
    if (c == EOF && length == 0)
      return Fail(kToolBadInput, std::string("standard input ended before the ") + what);
    if (length > 0 && line.get()[length - 1] == '\r') --length;
    const int converted = Utf8ToUtf16(line.get(), length, text);
    if (converted == -1)
      return Fail(kToolBadInput, std::string(what) + " is not UTF-8 text without NUL");
    if (converted == 0)
      return Fail(kToolBadInput, std::string(what) + " is longer than 260 UTF-16 units");
    return kProceed;
  }

  int ReadAnswers(Wiped<SecretText[kRecoveryAnswerCount]>& answers) {
    static const char* const kNames[kRecoveryAnswerCount] = {"mother's maiden name", "hobby",
                                                             "food"};
    for (size_t k = 0; k < kRecoveryAnswerCount; ++k) {
      const int read = ReadSecret(kNames[k], answers.get()[k]);
      if (read != kProceed) return read;
    }
    return kProceed;
  }

  // The key file's first 804 bytes. 1, or the exit status.
  int ReadKeyFile(const char* path, uint8_t file[kUserKeyFileSize]) {
    size_t size = 0;
    bool whole = false;
    int error = 0;
    const FileResult read =
        ReadFilePrefix(system_, path, file, kUserKeyFileSize, &size, &whole, &error);
    if (read != FileResult::kOk)
      return Fail(kToolBadInput,
                  std::string("cannot read key file ") + path + ": " + strerror(error));
    if (size < kUserKeyFileSize)
      return Fail(kToolBadInput, std::string("key file ") + path + " is shorter than 804 bytes");
    return kProceed;
  }

  // Unwraps with password and checks that the path record has a writer's
  // shape. 1, or the exit status.
  int UnlockKeyFile(const uint8_t file[kUserKeyFileSize], const SecretText& password,
                    uint8_t keyMaterial[kUserKeyMaterialSize]) {
    if (UnwrapKeyMaterial(file, password, DeriveAccountKey, keyMaterial) != 1)
      return Fail(kToolBadInput, "password is longer than 260 UTF-16 units");
    if (!StoredPathLooksValid(file, keyMaterial)) return Fail(kToolRefused, "wrong password");
    return kProceed;
  }

  int Random(uint8_t* bytes, size_t length) {
    if (system_.randomBytes(bytes, length) != 1)
      return Fail(kToolBadInput, "the system's random service failed");
    return kProceed;
  }

  // Builds a recovery file for password under a fresh salt. 1 or exit status.
  int BuildRecovery(const SecretText& password,
                    const Wiped<SecretText[kRecoveryAnswerCount]>& answers,
                    uint8_t out[kRecoveryFileSize]) {
    Wiped<uint8_t[kAccountSaltSize]> salt;
    if (Random(salt.get(), kAccountSaltSize) != kProceed) return kToolBadInput;
    const char16_t* const texts[kRecoveryAnswerCount] = {answers.get()[0], answers.get()[1],
                                                         answers.get()[2]};
    const int built = BuildRecoveryFile(salt.get(), password, texts, DeriveAccountKey, out);
    if (built == 0)
      return Fail(kToolRefused,
                  "the password has a character above U+00FF and cannot go into a recovery file");
    return built == 1 ? kProceed : Fail(kToolBadInput, "an answer is longer than 260 UTF-16 units");
  }

  int WriteNew(const char* path, const uint8_t* bytes, size_t length, const char* what) {
    int error = 0;
    const FileResult written = WriteNewFile(system_, path, bytes, length, &error);
    if (written == FileResult::kOk) return kProceed;
    if (written == FileResult::kExists)
      return Fail(kToolRefused,
                  std::string(what) + " " + path + " exists; it is never overwritten");
    return Fail(kToolBadInput,
                std::string("cannot write ") + what + " " + path + ": " + strerror(error));
  }

  void Print(const char16_t* text) {
    std::string utf8 = Utf16ToUtf8(text);
    fprintf(out_, "%s\n", utf8.c_str());
    SecureWipe(&utf8[0], utf8.size());
  }

  const ToolSystem& system() const { return system_; }

 private:
  FILE* in_;
  FILE* out_;
  FILE* err_;
  const ToolSystem& system_;
};

// The storage path as the client stores it: UTF-16, ASCII lower-cased.
int StoragePathArgument(Run& run, const char* argument, SecretText& path) {
  const int converted = Utf8ToUtf16(argument, strlen(argument), path);
  if (converted != 1)
    return run.Fail(kToolBadInput, "--storage-path is not UTF-8 of at most 260 UTF-16 units");
  ToLowerInPlace(path);
  return kProceed;
}

// The temporary key file of a password change: "2" before ".user", as the
// client names it; other names get "2" appended.
std::string TemporaryKeyFilePath(const char* keyFile) {
  std::string path(keyFile);
  const size_t extension = sizeof(".user") - 1;
  if (path.size() >= extension) {
    std::string tail = path.substr(path.size() - extension);
    for (char& c : tail) c = static_cast<char>(LowerAscii(static_cast<char16_t>(c)));
    if (tail == ".user") return path.insert(path.size() - extension, "2");
  }
  return path + "2";
}

int NewUser(Run& run, const Arguments& args) {
  SecretText storagePath;
  if (StoragePathArgument(run, args.storagePath, storagePath) != kProceed) return kToolBadInput;
  Wiped<SecretText> password;
  Wiped<SecretText[kRecoveryAnswerCount]> answers;
  int status = run.ReadSecret("password", password.get());
  if (status != kProceed) return status;
  if (args.recoveryFile != nullptr && (status = run.ReadAnswers(answers)) != kProceed)
    return status;

  Wiped<uint8_t[kAccountSaltSize]> salt;
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if (run.Random(salt.get(), kAccountSaltSize) != kProceed ||
      run.Random(keyMaterial.get(), kUserKeyMaterialSize) != kProceed)
    return kToolBadInput;
  Wiped<uint8_t[kUserKeyFileSize]> keyFile;
  const int built = BuildUserKeyFile(salt.get(), keyMaterial.get(), storagePath, password.get(),
                                     DeriveAccountKey, keyFile.get());
  if (built == 0)
    return run.Fail(kToolRefused,
                    "the storage path has a character above U+00FF and cannot go into a key file");
  if (built != 1) return run.Fail(kToolBadInput, "storage path or password is too long");

  Wiped<uint8_t[kRecoveryFileSize]> recovery;
  if (args.recoveryFile != nullptr &&
      (status = run.BuildRecovery(password.get(), answers, recovery.get())) != kProceed)
    return status;

  if ((status = run.WriteNew(args.keyFile, keyFile.get(), kUserKeyFileSize, "key file")) !=
      kProceed)
    return status;
  if (args.recoveryFile != nullptr &&
      (status = run.WriteNew(args.recoveryFile, recovery.get(), kRecoveryFileSize,
                             "recovery file")) != kProceed) {
    run.system().unlink(args.keyFile);  // ours, made a moment ago
    return status;
  }
  return kToolSuccess;
}

int Verify(Run& run, const Arguments& args) {
  SecretText storagePath;
  if (StoragePathArgument(run, args.storagePath, storagePath) != kProceed) return kToolBadInput;
  Wiped<SecretText> password;
  int status = run.ReadSecret("password", password.get());
  if (status != kProceed) return status;
  Wiped<uint8_t[kUserKeyFileSize]> file;
  if ((status = run.ReadKeyFile(args.keyFile, file.get())) != kProceed) return status;
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if (UnwrapKeyMaterial(file.get(), password.get(), DeriveAccountKey, keyMaterial.get()) != 1)
    return run.Fail(kToolBadInput, "password is longer than 260 UTF-16 units");
  SecretText stored;
  DecryptStoredPath(file.get(), keyMaterial.get(), stored);
  if (std::u16string(stored) != std::u16string(storagePath))
    return run.Fail(kToolRefused, "the password or the storage path does not match the key file");
  return kToolSuccess;
}

int ShowPath(Run& run, const Arguments& args) {
  Wiped<SecretText> password;
  int status = run.ReadSecret("password", password.get());
  if (status != kProceed) return status;
  Wiped<uint8_t[kUserKeyFileSize]> file;
  if ((status = run.ReadKeyFile(args.keyFile, file.get())) != kProceed) return status;
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if ((status = run.UnlockKeyFile(file.get(), password.get(), keyMaterial.get())) != kProceed)
    return status;
  SecretText stored;
  DecryptStoredPath(file.get(), keyMaterial.get(), stored);
  run.Print(stored);
  return kToolSuccess;
}

int ChangePassword(Run& run, const Arguments& args) {
  Wiped<SecretText> oldPassword;
  Wiped<SecretText> newPassword;
  Wiped<SecretText[kRecoveryAnswerCount]> answers;
  int status = run.ReadSecret("old password", oldPassword.get());
  if (status != kProceed ||
      (status = run.ReadSecret("new password", newPassword.get())) != kProceed)
    return status;
  if (args.recoveryFile != nullptr && (status = run.ReadAnswers(answers)) != kProceed)
    return status;

  Wiped<uint8_t[kUserKeyFileSize]> file;
  if ((status = run.ReadKeyFile(args.keyFile, file.get())) != kProceed) return status;
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if ((status = run.UnlockKeyFile(file.get(), oldPassword.get(), keyMaterial.get())) != kProceed)
    return status;
  Wiped<uint8_t[kUserKeyFileSize]> changed;
  if (RewrapUserKeyFile(file.get(), keyMaterial.get(), newPassword.get(), DeriveAccountKey,
                        changed.get()) != 1)
    return run.Fail(kToolBadInput, "new password is longer than 260 UTF-16 units");
  // Refuse before anything changes when the recovery file cannot hold it.
  Wiped<uint8_t[kRecoveryFileSize]> recovery;
  if (args.recoveryFile != nullptr &&
      (status = run.BuildRecovery(newPassword.get(), answers, recovery.get())) != kProceed)
    return status;

  const std::string temporary = TemporaryKeyFilePath(args.keyFile);
  int error = 0;
  const FileResult written =
      WriteNewFile(run.system(), temporary.c_str(), changed.get(), kUserKeyFileSize, &error);
  if (written == FileResult::kExists)
    return run.Fail(kToolRefused, "temporary key file " + temporary +
                                      " is left from an earlier change; the password is unchanged");
  if (written != FileResult::kOk)
    return run.Fail(kToolBadInput, "cannot write " + temporary + ": " + strerror(error) +
                                       "; the password is unchanged");
  if (ReplaceFile(run.system(), temporary.c_str(), args.keyFile, &error) != FileResult::kOk)
    return run.Fail(kToolBadInput, std::string("cannot replace ") + args.keyFile + ": " +
                                       strerror(error) + "; the password is unchanged");

  if (args.recoveryFile != nullptr) {
    // The earlier recovery file holds the earlier password: it goes either way.
    if (run.system().unlink(args.recoveryFile) != 0 && errno != ENOENT)
      return run.Fail(kToolBadInput, std::string("password changed, but cannot remove ") +
                                         args.recoveryFile + ": " + strerror(errno));
    if ((status = run.WriteNew(args.recoveryFile, recovery.get(), kRecoveryFileSize,
                               "recovery file")) != kProceed)
      return status;
  }
  return kToolSuccess;
}

int Recover(Run& run, const Arguments& args) {
  Wiped<SecretText[kRecoveryAnswerCount]> answers;
  int status = run.ReadAnswers(answers);
  if (status != kProceed) return status;
  Wiped<uint8_t[kRecoveryFileSize]> file;
  size_t size = 0;
  bool whole = false;
  int error = 0;
  if (ReadFilePrefix(run.system(), args.recoveryFile, file.get(), kRecoveryFileSize, &size, &whole,
                     &error) != FileResult::kOk)
    return run.Fail(kToolBadInput, std::string("cannot read recovery file ") + args.recoveryFile +
                                       ": " + strerror(error));
  if (size != kRecoveryFileSize || !whole)
    return run.Fail(kToolBadInput,
                    std::string("recovery file ") + args.recoveryFile + " is not 1604 bytes");
  const char16_t* const texts[kRecoveryAnswerCount] = {answers.get()[0], answers.get()[1],
                                                       answers.get()[2]};
  Wiped<SecretText> password;
  const int opened = OpenRecoveryFile(file.get(), texts, DeriveAccountKey, password.get());
  if (opened == 0) return run.Fail(kToolRefused, "the answers do not match the recovery file");
  if (opened != 1) return run.Fail(kToolBadInput, "recovery file holds no usable password");
  run.Print(password.get());
  return kToolSuccess;
}

const char kUsage[] =
    "usage: cryptelle-tool new-user --key-file K --storage-path P [--recovery-file R]\n"
    "       cryptelle-tool verify --key-file K --storage-path P\n"
    "       cryptelle-tool show-path --key-file K\n"
    "       cryptelle-tool change-password --key-file K [--recovery-file R]\n"
    "       cryptelle-tool recover --recovery-file R";

// 1 when the options parse, each at most once, with a value.
bool ParseArguments(int argc, const char* const* argv, Arguments* args) {
  if (argc < 2) return false;
  args->command = argv[1];
  for (int i = 2; i < argc; i += 2) {
    if (i + 1 >= argc) return false;
    const char** slot = nullptr;
    if (strcmp(argv[i], "--key-file") == 0)
      slot = &args->keyFile;
    else if (strcmp(argv[i], "--storage-path") == 0)
      slot = &args->storagePath;
    else if (strcmp(argv[i], "--recovery-file") == 0)
      slot = &args->recoveryFile;
    if (slot == nullptr || *slot != nullptr || argv[i + 1][0] == 0) return false;
    *slot = argv[i + 1];
  }
  return true;
}

}  // namespace

int RunTool(int argc, const char* const* argv, FILE* in, FILE* out, FILE* err,
            const ToolSystem& system) {
  Run run(in, out, err, system);
  Arguments args;
  if (!ParseArguments(argc, argv, &args)) return run.Fail(kToolBadInput, kUsage);
  const std::string command = args.command;
  const bool key = args.keyFile != nullptr;
  const bool storage = args.storagePath != nullptr;
  const bool recovery = args.recoveryFile != nullptr;
  if (command == "new-user" && key && storage) return NewUser(run, args);
  if (command == "verify" && key && storage && !recovery) return Verify(run, args);
  if (command == "show-path" && key && !storage && !recovery) return ShowPath(run, args);
  if (command == "change-password" && key && !storage) return ChangePassword(run, args);
  if (command == "recover" && !key && !storage && recovery) return Recover(run, args);
  return run.Fail(kToolBadInput, kUsage);
}
