// cryptelle-tool: the user accounts of the Windows client from Linux; the
// usage below lists every command, and "--help" or "COMMAND --help" prints it
// on standard output.
//
// Secrets arrive one per line on standard input, in UTF-8. Exit status:
// 0 success; 1 refused or a secret is wrong (one line on stderr); 2 an
// unreadable or malformed file, bad input or bad arguments. A key file is
// never reached through a symbolic link.
#pragma once

#include <stdio.h>

#include <initializer_list>
#include <string>

#include "path_buffer.h"
#include "tool_system.h"

constexpr int kToolSuccess = 0;
constexpr int kToolRefused = 1;
constexpr int kToolBadInput = 2;

inline constexpr char kToolUsage[] =
    "usage: cryptelle-tool new-user --key-file K --storage-path P [--recovery-file R]\n"
    "                               [--whole-disk [--kdf-memory KIB] [--kdf-passes N]]\n"
    "       cryptelle-tool verify --key-file K --storage-path P\n"
    "       cryptelle-tool show-path --key-file K\n"
    "       cryptelle-tool change-password --key-file K [--recovery-file R]\n"
    "       cryptelle-tool recover --recovery-file R\n"
    "       cryptelle-tool export --key-file K --container C --out IMG\n"
    "       cryptelle-tool import --key-file K --container C --in IMG\n"
    "       cryptelle-tool [COMMAND] --help\n"
    "--whole-disk makes a second-generation user, whose whole container is\n"
    "encrypted; its password is hashed with Argon2id of KIB KiB of memory\n"
    "(default 262144, 8 to 4194304) and N passes (default 2, 1 to 16). Every\n"
    "other command reads the files of either generation.";

// "cryptelle-tool --help" or "cryptelle-tool COMMAND --help".
bool IsHelpRequest(int argc, const char* const* argv);

// Every command but export and import, and the help.
int RunTool(int argc, const char* const* argv, FILE* in, FILE* out, FILE* err,
            const ToolSystem& system);

// The commands and their helpers return 1 done, 0 refused or -1 bad input,
// a 0 or -1 after one line on err that says why; this is the exit status.
inline int ExitStatus(int result) {
  return result == 1 ? kToolSuccess : result == 0 ? kToolRefused : kToolBadInput;
}

// Print "cryptelle-tool: reason" on err; 0 and -1.
int PrintRefusal(FILE* err, const std::string& reason);
int PrintFailure(FILE* err, const std::string& reason);

// "--name value" after the command, or "--name" alone for a flag: each
// option at most once, a value non-empty, and no other; false for anything
// else.
struct ToolOption {
  const char* name;
  const char** value;    // for "--name value"
  bool* flag = nullptr;  // for "--name" alone (value is nullptr)
};
bool ParseOptions(int argc, const char* const* argv, std::initializer_list<ToolOption> options);

// One line of in, a secret in UTF-8, without its line end. 1, or -1 after
// saying that it is too long or that in ended before it.
constexpr size_t kMaxSecretLineBytes = 4 * kMaxPathUnits + 2;  // room for \r\n
int ReadSecretLine(FILE* in, FILE* err, const char* what, char (&line)[kMaxSecretLineBytes],
                   size_t* length);
