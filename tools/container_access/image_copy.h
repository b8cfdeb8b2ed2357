// Whole-disk copies between a container and a plain disk image, streaming in
// aligned chunks through ContainerFile so the head is handled by the shared
// transfer procedures. Both keep runs of zeros as holes.
#pragma once

#include <string>

#include "container_access.h"

// Writes the plain disk to outFd, an empty regular file: the protected head
// decrypted, every other byte as stored. Zero blocks are skipped and holes of
// the container are not read, then the file is extended to the full size.
// 1, or -1 with *reason (the caller removes the partial file).
int ExportImage(const ContainerFile& container, const AesKeySchedule& schedule, int outFd,
                std::string* reason);

// Writes the plain disk in inFd over the whole container, in place, the head
// protected again. The caller has checked that the sizes are equal. Zero
// blocks past the head become holes where the file system can punch them and
// are written as zeros where it cannot. 1, or -1 with *reason; after -1 the
// container holds a mix of old and new blocks.
int ImportImage(const ContainerFile& container, const AesKeySchedule& schedule, int inFd,
                std::string* reason);
