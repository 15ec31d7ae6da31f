// Sizes a folder with Dirtally's engine and prints its size in bytes and the peak memory.
//
//   sizebench [--workers N] [--each] FOLDER
//
// --each sizes every immediate sub-folder of FOLDER in one job, as the one-level report does:
// handed to the job a batch at a time while FOLDER is read. It prints their sum (files directly
// in FOLDER are not part of it).
#include <dirent.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/system/linux/SizeEngine.h"

namespace {

struct Options {
    unsigned workers = dirtally::SizeEngine::kDefaultWorkers;
    bool each = false;
    std::string folder;
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--workers") == 0 && i + 1 < argc) {
            options.workers = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--each") == 0) {
            options.each = true;
        } else if (options.folder.empty()) {
            options.folder = argv[i];
        } else {
            return false;
        }
    }
    return !options.folder.empty();
}

dirtally::SizingRequest wholeFolder(const std::string& folder) {
    const std::size_t slash = folder.find_last_of('/');
    if (slash == std::string::npos) {
        return {".", {folder}, false};
    }
    return {slash == 0 ? "/" : folder.substr(0, slash), {folder.substr(slash + 1)}, false};
}

// Hands FOLDER's sub-folders to the running job as they are read; how many there were.
std::size_t addSubFolders(const std::string& folder, dirtally::SizingJob& job) {
    constexpr std::size_t kBatch = 1024;
    std::vector<std::string> batch;
    std::size_t count = 0;
    DIR* dir = opendir(folder.c_str());
    while (const dirent* entry = dir ? readdir(dir) : nullptr) {
        if (entry->d_type == DT_DIR && std::strcmp(entry->d_name, ".") != 0 &&
            std::strcmp(entry->d_name, "..") != 0) {
            batch.emplace_back(entry->d_name);
            ++count;
        }
        if (batch.size() == kBatch) {
            job.add(std::exchange(batch, {}), false);
        }
    }
    if (dir) {
        closedir(dir);
    }
    job.add(std::move(batch), true);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::fprintf(stderr, "usage: sizebench [--workers N] [--each] FOLDER\n");
        return 2;
    }
    dirtally::SizeEngine engine(options.workers);
    auto request =
        options.each
            ? dirtally::SizingRequest{.parent = options.folder, .children = {}, .moreRoots = true}
            : wholeFolder(options.folder);
    std::size_t roots = request.children.size();
    auto job = engine.start(std::move(request));
    if (options.each) {
        roots = addSubFolders(options.folder, *job);
    }
    unsigned long long total = 0;
    std::size_t unreadable = 0;
    std::size_t outOfResources = 0;
    for (std::size_t i = 0; i < roots; ++i) {
        job->wait(i, std::chrono::hours(24));
        const dirtally::FolderSize size = job->result(i);
        total += size.bytes;
        outOfResources += size.resourceError != 0 ? 1 : 0;
        unreadable += !size.readable && size.resourceError == 0 ? 1 : 0;
    }
    job.reset();
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("bytes %llu folders %zu unreadable %zu out_of_resources %zu peak_rss_kb %ld\n",
                total, roots, unreadable, outOfResources, usage.ru_maxrss);
    return unreadable == 0 && outOfResources == 0 ? 0 : 1;
}
