// What the install sequence writes, worked out without touching the system:
// the package rule, the paths, the registry entries, the shortcuts and the
// uninstall-log records. Portable; the Windows side carries the plan out.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "path_buffer.h"

namespace setup {

// The package is every regular file of the setup folder, and it has this many.
constexpr int kPackageFileCount = 12;

// Files of the package that the product uses from the installation folder.
extern const char* const kRequiredPackageFiles[11];

// True for a directory entry that counts as a package file: not a folder, not
// "." or "..".
bool CountsAsPackageFile(bool isDirectory, const char* name);

// True when `name` is one of kRequiredPackageFiles (compared without regard
// to ASCII case, as the file system does).
bool IsRequiredPackageFile(const char* name);

// The selected path, a backslash if missing, and "Cryptelle". 1, or -1 when
// the result would be longer than 260 characters.
int BuildInstallFolder(const char* selectedPath, PathBuffer<char>* folder);

// The system folder's "Drivers\cryptdsk.sys". 1, or -1 when too long.
int BuildDriverTarget(const char* systemFolder, PathBuffer<char>* path);

// Appends one uninstall-log record: "=" and the path, nothing between records.
void AppendLogRecord(const char* path, std::string* log);

enum class RegistryRoot { kClassesRoot, kLocalMachine };

struct RegistryEntry {
  RegistryRoot root;
  std::string key;
  std::string value;      // empty: the key's default value
  std::string data;       // REG_SZ, written with its terminating zero
  bool isNumber = false;  // REG_DWORD `number` instead of `data`
  uint32_t number = 0;
};

// The storage-file association, in the order it is written. 1, or -1 when
// a path would be too long.
int PlanExtensionEntries(const char* installFolder, std::vector<RegistryEntry>* entries);

// The Add/Remove Programs entry: "DisplayName", "UninstallString" (the
// uninstaller's path in quotation marks), "DisplayVersion", "Publisher",
// "DisplayIcon", "InstallLocation", "EstimatedSize" (the package's size in
// kilobytes) and "NoModify"/"NoRepair". 1, or -1 when a path is too long.
int PlanUninstallEntries(const char* installFolder, uint64_t packageBytes,
                         std::vector<RegistryEntry>* entries);

// "InstallPath" under the product key.
RegistryEntry InstallPathEntry(const char* installFolder);

// The folders that receive shortcuts; an empty one is unavailable and its
// links are skipped.
struct ShortcutFolders {
  std::string programs;   // the user's Programs folder
  std::string startMenu;  // the common Start Menu
  std::string desktop;    // the common desktop
};

struct ShortcutStep {
  enum Kind { kCreateFolder, kCreateLink } kind;
  std::string path;  // folder or link file; recorded in the log either way
  std::string target;
  std::string icon;  // empty: no icon
  std::string description;
  bool deleteExisting;  // remove an old link first (the desktop link is overwritten)
};

// The shortcut steps in the order they run and are logged. 1, or -1 when a
// path would be too long (then `steps` is incomplete and must not be run).
int PlanShortcuts(const ShortcutFolders& folders, const char* installFolder,
                  std::vector<ShortcutStep>* steps);

}  // namespace setup
