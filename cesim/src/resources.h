// Program images and their resources, and the objects loaded from them.
#pragma once

#include "world.h"

#include <cesim/resource_file.h>

namespace cesim {

struct ResourceSet {
    ResourceFile file;
};

// A program image: a shared object built for the device, loaded afresh for
// every process so that each has its own globals.
void* OpenImage(const std::string& path);
void* FindImageSymbol(void* image, const char* name);
void CloseImage(void* image);
std::shared_ptr<const ResourceSet> LoadImageResources(void* image, const std::string& path);

}  // namespace cesim
