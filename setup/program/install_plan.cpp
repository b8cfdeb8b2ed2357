#include "install_plan.h"

#include <string.h>

#include <utility>

#include "setup_texts.h"

namespace setup {

const char* const kRequiredPackageFiles[11] = {
    CRYPTELLE_CLIENT_EXE,       CRYPTELLE_UNINSTALLER_EXE, CRYPTELLE_SETUP_EXE,
    CRYPTELLE_DRIVER_SYS,       CRYPTELLE_DRIVER_INF,      CRYPTELLE_HOOK_DLL,
    CRYPTELLE_SHELL_HELPER_EXE, CRYPTELLE_ICON_FILE,       CRYPTELLE_OPEN_ICON_FILE,
    CRYPTELLE_LOCKED_ICON_FILE, CRYPTELLE_MANUAL_FILE,
};

namespace {

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(const char* a, const char* b) {
  for (; *a != 0 && *b != 0; ++a, ++b) {
    if (LowerAscii(*a) != LowerAscii(*b)) return false;
  }
  return *a == *b;
}

// Builds folder\name into `out` as a std::string; -1 when too long.
int ChildPathText(const char* folder, const char* name, std::string* out) {
  PathBuffer<char> path;
  if (path.AssignJoined(folder, name) != 1) return -1;
  *out = path.c_str();
  return 1;
}

// A command that names a program by its path alone: in quotation marks, so
// that a path with spaces cannot start a program at one of its prefixes.
std::string QuotedCommand(const std::string& path) {
  return '"' + path + '"';
}

}  // namespace

bool CountsAsPackageFile(bool isDirectory, const char* name) {
  if (isDirectory) return false;
  return strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

bool IsRequiredPackageFile(const char* name) {
  for (const char* required : kRequiredPackageFiles) {
    if (EqualIgnoringAsciiCase(name, required)) return true;
  }
  return false;
}

int BuildInstallFolder(const char* selectedPath, PathBuffer<char>* folder) {
  return folder->AssignJoined(selectedPath, kFolderName);
}

int BuildDriverTarget(const char* systemFolder, PathBuffer<char>* path) {
  return path->AssignJoined(systemFolder, kDriverInSystemFolder);
}

void AppendLogRecord(const char* path, std::string* log) {
  log->push_back('=');
  log->append(path);
}

int PlanExtensionEntries(const char* installFolder, std::vector<RegistryEntry>* entries) {
  std::string icon;
  std::string command;
  if (ChildPathText(installFolder, CRYPTELLE_ICON_FILE, &icon) != 1 ||
      ChildPathText(installFolder, CRYPTELLE_SHELL_HELPER_EXE, &command) != 1) {
    return -1;
  }
  // The helper takes no argument: the open command carries no "%1".
  *entries = {
      {RegistryRoot::kClassesRoot, kExtensionKey, "", kClassName},
      {RegistryRoot::kClassesRoot, kClassKey, "", kClassName},
      {RegistryRoot::kClassesRoot, kDefaultIconKey, "", icon},
      {RegistryRoot::kClassesRoot, kOpenCommandKey, "", QuotedCommand(command)},
  };
  return 1;
}

int PlanUninstallEntries(const char* installFolder, uint64_t packageBytes,
                         std::vector<RegistryEntry>* entries) {
  std::string uninstaller;
  std::string icon;
  if (ChildPathText(installFolder, CRYPTELLE_UNINSTALLER_EXE, &uninstaller) != 1 ||
      ChildPathText(installFolder, CRYPTELLE_ICON_FILE, &icon) != 1) {
    return -1;
  }
  const auto kilobytes = static_cast<uint32_t>((packageBytes + 1023) / 1024);
  const auto entry = [](const char* value, std::string data) {
    return RegistryEntry{RegistryRoot::kLocalMachine, kUninstallKey, value, std::move(data)};
  };
  const auto number = [](const char* value, uint32_t number) {
    return RegistryEntry{RegistryRoot::kLocalMachine, kUninstallKey, value, "", true, number};
  };
  *entries = {
      entry(kDisplayNameValue, kDisplayName),
      entry(kUninstallStringValue, QuotedCommand(uninstaller)),
      entry("DisplayVersion", CRYPTELLE_VERSION_TEXT),
      entry("Publisher", kPublisher),
      entry("DisplayIcon", icon),
      entry("InstallLocation", installFolder),
      number("EstimatedSize", kilobytes),
      number("NoModify", 1),
      number("NoRepair", 1),
  };
  return 1;
}

RegistryEntry InstallPathEntry(const char* installFolder) {
  return {RegistryRoot::kLocalMachine, CRYPTELLE_PRODUCT_KEY, CRYPTELLE_INSTALL_PATH_VALUE,
          installFolder};
}

int PlanShortcuts(const ShortcutFolders& folders, const char* installFolder,
                  std::vector<ShortcutStep>* steps) {
  steps->clear();
  std::string client;
  std::string uninstaller;
  std::string helper;
  std::string icon;
  if (ChildPathText(installFolder, CRYPTELLE_CLIENT_EXE, &client) != 1 ||
      ChildPathText(installFolder, CRYPTELLE_UNINSTALLER_EXE, &uninstaller) != 1 ||
      ChildPathText(installFolder, CRYPTELLE_SHELL_HELPER_EXE, &helper) != 1 ||
      ChildPathText(installFolder, CRYPTELLE_ICON_FILE, &icon) != 1) {
    return -1;
  }

  if (!folders.programs.empty()) {
    std::string group;
    std::string clientLink;
    std::string uninstallerLink;
    if (ChildPathText(folders.programs.c_str(), kProgramGroup, &group) != 1 ||
        ChildPathText(group.c_str(), kClientLink, &clientLink) != 1 ||
        ChildPathText(group.c_str(), kUninstallerLink, &uninstallerLink) != 1) {
      return -1;
    }
    steps->push_back({ShortcutStep::kCreateFolder, group, "", "", "", false});
    steps->push_back({ShortcutStep::kCreateLink, clientLink, client, "", kClientDescription, true});
    steps->push_back({ShortcutStep::kCreateLink, uninstallerLink, uninstaller, "",
                      kUninstallerDescription, true});
  }
  if (!folders.startMenu.empty()) {
    std::string link;
    if (ChildPathText(folders.startMenu.c_str(), kClientLink, &link) != 1) return -1;
    steps->push_back({ShortcutStep::kCreateLink, link, helper, icon, kClientDescription, true});
  }
  if (!folders.desktop.empty()) {
    std::string link;
    if (ChildPathText(folders.desktop.c_str(), kClientLink, &link) != 1) return -1;
    steps->push_back({ShortcutStep::kCreateLink, link, client, "", kClientDescription, false});
  }
  return 1;
}

}  // namespace setup
