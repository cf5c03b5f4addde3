#include "sourceopen.h"

#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include "textsource.h"
#include "threadedsource.h"

namespace kolvane {

namespace {

// File systems whose reads come from a local disk or from memory. Any other,
// a network or FUSE file system among them, may keep a read waiting.
bool onLocalDisk(const std::string& path) {
    struct statfs fs {};
    if (::statfs(path.c_str(), &fs) != 0) return false;
    // exFAT, NTFS (both drivers), ZFS and bcachefs have no name in <linux/magic.h>.
    constexpr unsigned long kLocal[] = {
        EXT4_SUPER_MAGIC, XFS_SUPER_MAGIC, BTRFS_SUPER_MAGIC, TMPFS_MAGIC, F2FS_SUPER_MAGIC,
        RAMFS_MAGIC,      SQUASHFS_MAGIC,  MSDOS_SUPER_MAGIC, 0x2011BAB0,  0x5346544E,
        0x7366746E,       0x2FC12FC1,      0xCA451A4E};
    return std::ranges::find(kLocal, static_cast<unsigned long>(fs.f_type)) != std::end(kLocal);
}

// The file at `path` as a rip reads it: unpacked and decoded.
Expected<std::unique_ptr<ByteSource>> openAsText(const std::string& path) {
    auto opened = FileSource::open(path);
    if (!opened) return opened.error();
    return readAsText(std::move(*opened));
}

}  // namespace

Expected<std::unique_ptr<ByteSource>> openWithoutBlocking(const std::string& path,
                                                          std::chrono::milliseconds wait) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
        auto open = [path] { return openAsText(path); };
        return std::unique_ptr<ByteSource>(std::make_unique<ThreadedSource>(open, wait));
    }
    auto opened = FileSource::open(path);
    if (!opened) return opened.error();
    return std::unique_ptr<ByteSource>(
        std::make_unique<ThreadedSource>(readAsText(std::move(*opened)), wait));
}

Expected<std::unique_ptr<ByteSource>> openForRip(const std::string& path,
                                                 std::chrono::milliseconds wait) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || !onLocalDisk(path)) {
        return openWithoutBlocking(path, wait);
    }
    return openAsText(path);
}

Expected<std::unique_ptr<ByteSource>> openForLook(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return systemError("Cannot open", path, errno);
    if (!S_ISREG(st.st_mode)) return Error{"Cannot read", path, "it is no regular file", 0, 0};
    return openAsText(path);
}

}  // namespace kolvane
