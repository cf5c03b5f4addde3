#include "sourcepreview.h"

#include <sys/stat.h>

#include <cerrno>

#include "io.h"
#include "linereader.h"

namespace kolvane {

Expected<std::optional<std::string>> SourcePreview::line(const std::string& path,
                                                         std::int64_t number) {
    struct stat st {};
    if (path.empty()) return Error{"Cannot read", "", "no source file given", 0, 0};
    if (::stat(path.c_str(), &st) != 0) return systemError("Cannot open", path, errno);
    Mark now{path,
             static_cast<std::uint64_t>(st.st_size),
             static_cast<std::int64_t>(st.st_mtim.tv_sec),
             static_cast<std::int64_t>(st.st_mtim.tv_nsec),
             0,
             0};
    // Resume behind the remembered line only when nothing about the file changed
    // and the wanted line lies after it.
    if (mark_ && mark_->path == now.path && mark_->size == now.size &&
        mark_->mtimeSec == now.mtimeSec && mark_->mtimeNsec == now.mtimeNsec &&
        mark_->line < number) {
        now.line = mark_->line;
        now.offset = mark_->offset;
    }
    auto source = FileSource::open(path, now.offset);
    if (!source) return source.error();
    LineReader reader(**source);
    std::optional<std::string> found;
    while (now.line < number) {
        auto text = reader.next();
        if (!text) break;
        ++now.line;
        if (now.line == number) found.emplace(*text);
    }
    if (auto failure = reader.failure()) {
        mark_.reset();
        return Error{"Cannot read", path, failure->cause, now.line + 1, failure->code};
    }
    now.offset += reader.offset();
    mark_ = now;
    return found;
}

}  // namespace kolvane
