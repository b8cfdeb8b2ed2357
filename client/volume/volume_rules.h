// Decisions of the mount and lock sequences that need no OS: the kernel form
// of the container path, the size text, the drive-name templates and the
// texts built from parts. Tested natively.
#pragma once

#include <stddef.h>
#include <stdint.h>

// "\??\" + a drive path; a path with one leading backslash unchanged;
// "\??\UNC" + a UNC path without its first backslash. 1 with *length the
// units before the terminator, or -1 when the result with its terminator
// does not fit `units` (out untouched then).
int BuildKernelFileName(const char16_t* path, char16_t* out, size_t units, uint16_t* length);

// The size field of the storage screen: a decimal number of megabytes,
// optionally signed. 1 with *bytes = megabytes * 1,048,576; -1 for an empty
// text, anything that is not a number, a size of 0 or less, or an overflow.
int ParseMegabytes(const char16_t* text, int64_t* bytes);

// Drive names of one letter: " :", " :\" and "\\.\ :" with the letter in
// the blank.
struct DriveNames {
  char16_t Device[3];
  char16_t Root[4];
  char16_t Volume[7];
};
DriveNames MakeDriveNames(char16_t letter);

// True for 'A' to 'Z'.
bool IsDriveLetter(int letter);

// The shell offers to format a new, empty disk from Windows 7 (6.1) on, so
// the format-prompt hook runs there; Windows 10 and 11 report 10.0.
bool IsWindows7OrLater(unsigned long major, unsigned long minor);

// The letter message of a failed lock: head, "( H: )", reasons. 1, or 0 when
// it does not fit `units` (out empty).
int BuildLetterMessage(char16_t letter, const char16_t* reasons, char16_t* out, size_t units);
constexpr size_t kLetterMessageUnits = 780;

// The Open tooltip with the letter in its blank and, for a known
// generation (cryptdsk::kGenerationHeadOnly or kGenerationWholeDisk), a last
// line naming the protection. 1, or 0 when it does not fit `units` (out
// empty then).
int BuildOpenTooltip(char16_t letter, uint32_t generation, char16_t* out, size_t units);
constexpr size_t kTooltipUnits = 128;

// The size of a new container file for a disk of diskBytes: the disk, and
// for the whole-disk generation the backup area after it.
uint64_t ContainerFileBytes(uint64_t diskBytes, uint32_t generation);

// The first drive letter of a path-name list ("E:\", "C:\mnt\x\", ...,
// each terminated, the list ending with an empty entry), or 0 when the first
// entry is not a drive root.
char16_t FirstListedDriveLetter(const char16_t* list);
