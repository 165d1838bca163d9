// Program images: a program's shared object loaded afresh for each process,
// and the compiled resources it carries.
#include "resources.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

namespace cesim {

static std::mutex image_files_mutex;
static std::map<void*, int> image_files;  // loaded image: its private copy

void* OpenImage(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error("cesim: cannot open the program image " + path);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A private copy, so that the loader maps a new image with its own globals
    // instead of handing back the one another process already uses.
    int fd = memfd_create("program-image", MFD_CLOEXEC);
    if (fd < 0)
        throw Error("cesim: cannot make a copy of the program image " + path);
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
            close(fd);
            throw Error("cesim: cannot make a copy of the program image " + path);
        }
        written += (size_t)n;
    }
    // The loader knows a library by its path, so the copy stays open (and its
    // path unique) for as long as the image is loaded.
    std::string fd_path = "/proc/self/fd/" + std::to_string(fd);
    void* image = dlopen(fd_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (image == nullptr) {
        close(fd);
        throw Error("cesim: cannot load the program image " + path + ": " + dlerror());
    }
    std::lock_guard<std::mutex> lock(image_files_mutex);
    image_files[image] = fd;
    return image;
}

void* FindImageSymbol(void* image, const char* name) { return dlsym(image, name); }

void CloseImage(void* image)
{
    dlclose(image);
    std::lock_guard<std::mutex> lock(image_files_mutex);
    auto it = image_files.find(image);
    if (it != image_files.end()) {
        close(it->second);
        image_files.erase(it);
    }
}

std::shared_ptr<const ResourceSet> LoadImageResources(void* image, const std::string& path)
{
    auto begin = (const uint8_t*)dlsym(image, "cesim_resources");
    auto end = (const uint8_t*)dlsym(image, "cesim_resources_end");
    if (begin == nullptr || end == nullptr || end < begin)
        throw Error("cesim: the program image " + path + " carries no compiled resources");
    auto set = std::make_shared<ResourceSet>();
    set->file = ResourceFile::Parse(begin, (size_t)(end - begin), path + " (resources)");
    return set;
}

}  // namespace cesim
