// Builds a deterministic tree for timing folder sizing: FILES sparse files spread evenly over
// FOLDERS folders, each folder holding up to ten sub-folders. Prints the total apparent size.
//
//   gentree DIR FILES FOLDERS
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kFanout = 10;

// A fixed linear congruential sequence, so every run builds the same sizes.
std::uint64_t nextSize(std::uint64_t& state) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return (state >> 33) % (1u << 20);
}

bool makeFile(int folder, const char* name, std::uint64_t size) {
    const int fd = openat(folder, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool ok = ftruncate(fd, static_cast<off_t>(size)) == 0;
    close(fd);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: gentree DIR FILES FOLDERS\n");
        return 2;
    }
    const std::string root = argv[1];
    const std::uint64_t files = std::strtoull(argv[2], nullptr, 10);
    const std::uint64_t folders = std::max<std::uint64_t>(1, std::strtoull(argv[3], nullptr, 10));
    if (mkdir(root.c_str(), 0755) != 0) {
        std::perror(root.c_str());
        return 1;
    }
    // Folder i's path is its parent's path plus "/dI"; folder 0 is the root itself.
    std::vector<std::string> paths(folders);
    paths[0] = root;
    std::uint64_t state = 42;
    std::uint64_t total = 0;
    std::uint64_t made = 0;
    char name[32];
    for (std::uint64_t i = 0; i < folders; ++i) {
        if (i > 0) {
            paths[i] = paths[(i - 1) / kFanout] + "/d" + std::to_string(i);
            if (mkdir(paths[i].c_str(), 0755) != 0) {
                std::perror(paths[i].c_str());
                return 1;
            }
        }
        const int fd = open(paths[i].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const std::uint64_t here = files / folders + (i < files % folders ? 1 : 0);
        for (std::uint64_t f = 0; f < here; ++f, ++made) {
            const std::uint64_t size = nextSize(state);
            std::snprintf(name, sizeof name, "f%llu", static_cast<unsigned long long>(made));
            if (fd < 0 || !makeFile(fd, name, size)) {
                std::perror(name);
                return 1;
            }
            total += size;
        }
        close(fd);
    }
    std::printf("%llu\n", static_cast<unsigned long long>(total));
    return 0;
}
