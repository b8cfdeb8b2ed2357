#include "tool_core.h"

#include <errno.h>
#include <string.h>

#include <string>

#include "account_records.h"
#include "path_rules.h"
#include "secure_wipe.h"
#include "utf.h"

namespace {

using SecretText = char16_t[kPathBufferUnits];
using Answers = Wiped<SecretText[kRecoveryAnswerCount]>;

struct Arguments {
  const char* command = nullptr;
  const char* keyFile = nullptr;
  const char* storagePath = nullptr;
  const char* recoveryFile = nullptr;
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

  // Reads the key file and unwraps its key material with password. With
  // checkPassword, a path record without a writer's shape is refused as a
  // wrong password.
  int OpenKeyFile(const char* path, const SecretText& password, bool checkPassword,
                  uint8_t file[kUserKeyFileSize], uint8_t keyMaterial[kUserKeyMaterialSize]) {
    std::string reason;
    if (ReadKeyFile(system_, path, file, &reason) != 1) return Fail(reason);
    if (UnwrapKeyMaterial(file, password, DeriveAccountKey, keyMaterial) != 1)
      return Fail("password is longer than 260 UTF-16 units");
    if (checkPassword && !StoredPathLooksValid(file, keyMaterial)) return Refuse("wrong password");
    return 1;
  }

  // Reads the password, opens the key file with it and decrypts the path.
  int ReadStoredPath(const char* keyFile, bool checkPassword, SecretText& stored) {
    Wiped<SecretText> password;
    Wiped<uint8_t[kUserKeyFileSize]> file;
    Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
    int result = ReadSecret("password", password.get());
    if (result == 1)
      result = OpenKeyFile(keyFile, password.get(), checkPassword, file.get(), keyMaterial.get());
    if (result == 1) DecryptStoredPath(file.get(), keyMaterial.get(), stored);
    return result;
  }

  int Random(uint8_t* bytes, size_t length) {
    if (system_.randomBytes(bytes, length) != 1) return Fail("the system's random service failed");
    return 1;
  }

  // Builds a recovery file for password under a fresh salt.
  int BuildRecovery(const SecretText& password, const Answers& answers,
                    uint8_t out[kRecoveryFileSize]) {
    Wiped<uint8_t[kAccountSaltSize]> salt;
    if (Random(salt.get(), kAccountSaltSize) != 1) return -1;
    const char16_t* const texts[kRecoveryAnswerCount] = {answers.get()[0], answers.get()[1],
                                                         answers.get()[2]};
    const int built = BuildRecoveryFile(salt.get(), password, texts, DeriveAccountKey, out);
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
  int ReplaceKeyFile(const char* keyFile, const uint8_t bytes[kUserKeyFileSize]) {
    const std::string temporary = std::string(keyFile) + CT_TEMPORARY_KEY_FILE_SUFFIX;
    const AccountFileWrite written =
        ReplaceKeyFileSafely(files_, keyFile, temporary.c_str(), bytes, kUserKeyFileSize);
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

int NewUser(Run& run, const Arguments& args) {
  const bool withRecovery = args.recoveryFile != nullptr;
  SecretText storagePath;
  Wiped<SecretText> password;
  Answers answers;
  int result = StoragePathArgument(run, args.storagePath, storagePath);
  if (result == 1) result = run.ReadSecret("password", password.get());
  if (result == 1 && withRecovery) result = run.ReadAnswers(answers);
  if (result != 1) return result;

  Wiped<uint8_t[kAccountSaltSize]> salt;
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  if (run.Random(salt.get(), kAccountSaltSize) != 1 ||
      run.Random(keyMaterial.get(), kUserKeyMaterialSize) != 1)
    return -1;
  Wiped<uint8_t[kUserKeyFileSize]> keyFile;
  const int built = BuildUserKeyFile(salt.get(), keyMaterial.get(), storagePath, password.get(),
                                     DeriveAccountKey, keyFile.get());
  if (built == 0)
    return run.Refuse(
        "the storage path has a character above U+00FF and cannot go into a key file");
  if (built != 1) return run.Fail("storage path or password is too long");

  Wiped<uint8_t[kRecoveryFileSize]> recovery;
  if (withRecovery && (result = run.BuildRecovery(password.get(), answers, recovery.get())) != 1)
    return result;
  if ((result = run.WriteNew(args.keyFile, keyFile.get(), kUserKeyFileSize, "key file")) != 1)
    return result;
  if (withRecovery && (result = run.WriteNew(args.recoveryFile, recovery.get(), kRecoveryFileSize,
                                             "recovery file")) != 1)
    run.system().unlink(args.keyFile);  // ours, made a moment ago
  return result;
}

int Verify(Run& run, const Arguments& args) {
  SecretText storagePath;
  SecretText stored;
  int result = StoragePathArgument(run, args.storagePath, storagePath);
  if (result == 1) result = run.ReadStoredPath(args.keyFile, false, stored);
  if (result == 1 && std::u16string(stored) != std::u16string(storagePath))
    return run.Refuse("the password or the storage path does not match the key file");
  return result;
}

int ShowPath(Run& run, const Arguments& args) {
  SecretText stored;
  const int result = run.ReadStoredPath(args.keyFile, true, stored);
  if (result == 1) run.Print(stored);
  return result;
}

int ChangePassword(Run& run, const Arguments& args) {
  const bool withRecovery = args.recoveryFile != nullptr;
  Wiped<SecretText> oldPassword;
  Wiped<SecretText> newPassword;
  Answers answers;
  Wiped<uint8_t[kUserKeyFileSize]> file;
  Wiped<uint8_t[kUserKeyMaterialSize]> keyMaterial;
  int result = run.ReadSecret("old password", oldPassword.get());
  if (result == 1) result = run.ReadSecret("new password", newPassword.get());
  if (result == 1 && withRecovery) result = run.ReadAnswers(answers);
  if (result == 1)
    result = run.OpenKeyFile(args.keyFile, oldPassword.get(), true, file.get(), keyMaterial.get());
  if (result != 1) return result;
  Wiped<uint8_t[kUserKeyFileSize]> changed;
  if (RewrapUserKeyFile(file.get(), keyMaterial.get(), newPassword.get(), DeriveAccountKey,
                        changed.get()) != 1)
    return run.Fail("new password is longer than 260 UTF-16 units");
  // Refuse before anything changes when the recovery file cannot hold it.
  Wiped<uint8_t[kRecoveryFileSize]> recovery;
  if (withRecovery && (result = run.BuildRecovery(newPassword.get(), answers, recovery.get())) != 1)
    return result;
  if ((result = run.ReplaceKeyFile(args.keyFile, changed.get())) != 1) return result;
  // The earlier recovery file holds the earlier password: it goes either way.
  const std::string earlier = withRecovery ? args.recoveryFile : RecoveryFileBeside(args.keyFile);
  const bool removed = !earlier.empty() && run.system().unlink(earlier.c_str()) == 0;
  if (!earlier.empty() && !removed && errno != ENOENT)
    return run.Fail("password changed, but cannot remove " + earlier + ": " + strerror(errno));
  if (withRecovery)
    return run.WriteNew(args.recoveryFile, recovery.get(), kRecoveryFileSize, "recovery file");
  if (removed) run.Tell("removed recovery file " + earlier + ": it held the earlier password");
  return 1;
}

int Recover(Run& run, const Arguments& args) {
  Answers answers;
  if (run.ReadAnswers(answers) != 1) return -1;
  Wiped<uint8_t[kRecoveryFileSize]> file;
  size_t size = 0;
  bool whole = false;
  int error = 0;
  if (ReadFilePrefix(run.system(), args.recoveryFile, file.get(), kRecoveryFileSize, &size, &whole,
                     &error) != 1)
    return run.Fail(std::string("cannot read recovery file ") + args.recoveryFile + ": " +
                    strerror(error));
  if (size != kRecoveryFileSize || !whole)
    return run.Fail(std::string("recovery file ") + args.recoveryFile + " is not 1604 bytes");
  const char16_t* const texts[kRecoveryAnswerCount] = {answers.get()[0], answers.get()[1],
                                                       answers.get()[2]};
  Wiped<SecretText> password;
  const int opened = OpenRecoveryFile(file.get(), texts, DeriveAccountKey, password.get());
  if (opened == 0) return run.Refuse("the answers do not match the recovery file");
  if (opened != 1) return run.Fail("recovery file holds no usable password");
  run.Print(password.get());
  return 1;
}

bool ParseArguments(int argc, const char* const* argv, Arguments* args) {
  if (argc < 2) return false;
  args->command = argv[1];
  return ParseOptions(argc, argv,
                      {{"--key-file", &args->keyFile},
                       {"--storage-path", &args->storagePath},
                       {"--recovery-file", &args->recoveryFile}});
}

// The command args name, when its options fit it.
int RunCommand(Run& run, const Arguments& args) {
  const std::string command = args.command;
  const bool key = args.keyFile != nullptr;
  const bool storage = args.storagePath != nullptr;
  const bool recovery = args.recoveryFile != nullptr;
  if (command == "new-user" && key && storage) return NewUser(run, args);
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
  return ExitStatus(ParseArguments(argc, argv, &args) ? RunCommand(run, args) : run.Fail(kToolUsage));
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
  for (int i = 2; i < argc; i += 2) {
    if (i + 1 >= argc || argv[i + 1][0] == 0) return false;
    const ToolOption* match = nullptr;
    for (const ToolOption& option : options)
      if (strcmp(argv[i], option.name) == 0) match = &option;
    if (match == nullptr || *match->value != nullptr) return false;
    *match->value = argv[i + 1];
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
