#include "sourcepreview.h"

#include <sys/stat.h>

#include <cerrno>

#include "io.h"
#include "linereader.h"

namespace kolvane {

std::optional<SourcePreview::Identity> SourcePreview::identify(const std::string& path,
                                                               bool& regular) {
    struct stat st {};
    regular = false;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    regular = S_ISREG(st.st_mode);
    return Identity{path,
                    st.st_dev,
                    st.st_ino,
                    static_cast<std::uint64_t>(st.st_size),
                    static_cast<std::int64_t>(st.st_mtim.tv_sec),
                    static_cast<std::int64_t>(st.st_mtim.tv_nsec),
                    static_cast<std::int64_t>(st.st_ctim.tv_sec),
                    static_cast<std::int64_t>(st.st_ctim.tv_nsec)};
}

Expected<std::optional<std::string>> SourcePreview::line(const std::string& path,
                                                         std::int64_t number) {
    if (path.empty()) return Error{"Cannot read", "", "no source file given", 0, 0};
    bool regular = false;
    const std::optional<Identity> before = identify(path, regular);
    if (!before) return systemError("Cannot open", path, errno);

    // Resume behind the remembered line only when the file is the one that was
    // read and the wanted line lies after it.
    Mark now{*before, 0, 0};
    if (mark_ && regular && mark_->file == *before && mark_->line < number) {
        now.line = mark_->line;
        now.offset = mark_->offset;
    }
    mark_.reset();
    auto source = FileSource::open(path, now.offset);
    if (!source) return source.error();
    LineReader reader(**source);
    std::optional<std::string> found;
    while (now.line < number) {
        auto text = reader.next();
        if (!text && reader.pending()) continue;
        if (!text) break;
        ++now.line;
        if (now.line == number) found.emplace(*text);
    }
    if (auto failure = reader.failure()) {
        return Error{"Cannot read", path, failure->cause, now.line + 1, failure->code};
    }
    now.offset += reader.offset();
    // A file that changed while it was read may have given a mix of both
    // versions at this offset: answer, but remember nothing of it.
    bool stillRegular = false;
    if (regular && identify(path, stillRegular) == *before) mark_ = now;
    return found;
}

}  // namespace kolvane
