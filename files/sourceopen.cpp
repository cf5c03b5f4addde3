#include "sourceopen.h"

#include <sys/stat.h>

#include "textsource.h"
#include "threadedsource.h"

namespace kolvane {

Expected<std::unique_ptr<ByteSource>> openWithoutBlocking(const std::string& path,
                                                          std::chrono::milliseconds wait) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
        auto open = [path]() -> Expected<std::unique_ptr<ByteSource>> {
            auto opened = FileSource::open(path);
            if (!opened) return opened.error();
            return readAsText(std::move(*opened));
        };
        return std::unique_ptr<ByteSource>(std::make_unique<ThreadedSource>(open, wait));
    }
    auto opened = FileSource::open(path);
    if (!opened) return opened.error();
    return std::unique_ptr<ByteSource>(
        std::make_unique<ThreadedSource>(readAsText(std::move(*opened)), wait));
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace kolvane
