#include "package_files.h"

#include <iterator>

#include "install_plan.h"
#include "messages.h"
#include "setup_texts.h"
#include "win/unique_handles.h"

namespace setup {
namespace {

// Opens the listing of "*.*" in `folder`; invalid when it cannot start.
UniqueFind StartListing(const char* folder, WIN32_FIND_DATAA* entry) {
  PathBuffer<char> pattern;
  if (pattern.AssignJoined(folder, "*.*") != 1) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return UniqueFind();
  }
  return UniqueFind(FindFirstFileA(pattern.c_str(), entry));
}

bool IsPackageEntry(const WIN32_FIND_DATAA& entry) {
  return CountsAsPackageFile((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                             entry.cFileName);
}

int CopyOne(const char* setupFolder, const char* installFolder, const char* name) {
  PathBuffer<char> source;
  PathBuffer<char> target;
  if (source.AssignJoined(setupFolder, name) != 1 ||
      target.AssignJoined(installFolder, name) != 1) {
    return -1;
  }
  if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL)) {
    return -1;
  }
  return CopyFileA(source.c_str(), target.c_str(), FALSE) ? 1 : -1;
}

}  // namespace

int CheckPackage(const char* setupFolder, HWND owner) {
  WIN32_FIND_DATAA entry = {};
  const UniqueFind listing = StartListing(setupFolder, &entry);
  if (!listing.valid()) return -1;
  int files = 0;
  int required = 0;
  do {
    if (!IsPackageEntry(entry)) continue;
    ++files;
    if (IsRequiredPackageFile(entry.cFileName)) ++required;
  } while (FindNextFileA(listing.get(), &entry));
  if (GetLastError() != ERROR_NO_MORE_FILES) return -1;
  // A package of the right size that lacks a file the product needs would
  // install a broken product and report success.
  if (files != kPackageFileCount ||
      required != static_cast<int>(std::size(kRequiredPackageFiles))) {
    ShowError(owner, kFilesMissing);
    return 0;
  }
  return 1;
}

int CopyPackage(const char* setupFolder, const char* installFolder, HWND owner,
                unsigned long long* bytes) {
  WIN32_FIND_DATAA entry = {};
  const UniqueFind listing = StartListing(setupFolder, &entry);
  if (!listing.valid()) {
    ShowError(owner, kFilesMissingClosing);
    return -1;
  }
  int copied = 0;
  do {
    if (!IsPackageEntry(entry)) continue;
    if (CopyOne(setupFolder, installFolder, entry.cFileName) != 1) return -1;
    ++copied;
    *bytes += (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
  } while (FindNextFileA(listing.get(), &entry));
  if (GetLastError() != ERROR_NO_MORE_FILES) return -1;
  if (copied != kPackageFileCount) {
    ShowError(owner, kFilesMissingClosing);
    return -1;
  }
  return 1;
}

}  // namespace setup
