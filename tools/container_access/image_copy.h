// Whole-disk copies between a container and a plain disk image, streaming in
// aligned chunks through ContainerFile so the sectors are handled by the
// shared transfer procedures. Both keep runs of zeros as holes where the
// stored form allows: a first-generation container stores zeros past its
// head as zeros, a second-generation one stores no sector as it is.
#pragma once

#include <string>

#include "container_access.h"

// Writes the plain disk to outFd, an empty regular file. Zero blocks are
// skipped, then the file is extended to the full size; holes of a first-
// generation container past its head are not read.
// 1, or -1 with *reason (the caller removes the partial file).
int ExportImage(const ContainerFile& container, const cryptdsk::ImageCipher& cipher, int outFd,
                std::string* reason);

// Writes the plain disk in inFd over the whole disk of the container, in
// place, stored as the generation stores it. The caller has checked that the
// sizes are equal. In a first-generation container zero blocks past the head
// become holes where the file system can punch them and are written as zeros
// where it cannot; a second-generation one has every block written. 1, or -1
// with *reason; after -1 the container holds a mix of old and new blocks.
int ImportImage(const ContainerFile& container, const cryptdsk::ImageCipher& cipher, int inFd,
                std::string* reason);
