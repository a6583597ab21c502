// Reads entries with libarchive and writes them below the destination, refusing any entry whose
// name, link target or on-disk path would lead outside it.
#include "tools/sevenzip/Extractor.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>

#include "tools/sevenzip/DiskProbe.h"
#include "tools/sevenzip/EntryPath.h"

namespace sevenzip {
namespace {

// Large reads keep the number of library calls per megabyte low; measured in bench/.
constexpr std::size_t kReadBlockSize = 1 << 20;
constexpr std::size_t kMaxDetailLines = 200;

std::mutex g_resolverMutex;
PathResolver g_resolver;

std::string Resolve(const std::string& path) {
    PathResolver resolver;
    {
        std::lock_guard lock(g_resolverMutex);
        resolver = g_resolver;
    }
    return resolver ? resolver(path) : path;
}

struct ReadFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteFree {
    void operator()(archive* a) const { archive_write_free(a); }
};
using Reader = std::unique_ptr<archive, ReadFree>;
using Writer = std::unique_ptr<archive, WriteFree>;

int Severity(Result result) {
    switch (result) {
        case Ok:
            return 0;
        case RefusedEntry:
            return 1;
        case WriteError:
            return 2;
        default:
            return 3;
    }
}

std::string ErrorText(archive* a) {
    const char* text = archive_error_string(a);
    return text ? text : "unknown error";
}

class Extraction {
  public:
    Extraction(const Command& command, const ProgressFn& progress)
        : command_(command), progress_(progress) {}

    Outcome Run() {
        if (Prepare() && Open()) {
            Notify(ProgressBegin, command_.archive.c_str(), 0);
            ExtractAll();
            if (writer_ && archive_write_close(writer_.get()) < ARCHIVE_WARN) {
                Fail(WriteError, "Cannot finish: " + ErrorText(writer_.get()));
            }
        }
        Notify(ProgressEnd, "", 0);
        return {result_, Summary()};
    }

  private:
    void Fail(Result result, std::string line) {
        if (Severity(result) > Severity(result_)) {
            result_ = result;
        }
        ++errors_;
        if (details_.size() < kMaxDetailLines) {
            details_.push_back(std::move(line));
        }
    }

    void Refuse(const char* name, const std::string& reason) {
        Fail(RefusedEntry, "Refused: " + std::string(name) + ": " + reason);
    }

    bool Notify(ProgressState state, const char* name, std::uint64_t entrySize) {
        if (!progress_) {
            return true;
        }
        ProgressInfo info{};
        info.structSize = sizeof(ProgressInfo);
        info.entryName = name;
        info.entrySize = entrySize;
        info.bytesWritten = bytes_;
        info.archiveRead = reader_ ? static_cast<std::uint64_t>(std::max<la_int64_t>(
                                         0, archive_filter_bytes(reader_.get(), -1)))
                                   : 0;
        info.archiveSize = archiveSize_;
        return progress_(state, info);
    }

    bool Prepare() {
        archivePath_ = Resolve(command_.archive);
        const DiskKind kind = Probe(archivePath_);
        if (kind == DiskKind::Missing) {
            Fail(ArchiveUnreadable, "Cannot find archive " + command_.archive);
            return false;
        }
        if (kind == DiskKind::Directory) {
            Fail(ArchiveUnreadable, "Archive is a directory: " + command_.archive);
            return false;
        }
        archiveSize_ = FileSize(archivePath_);
        const std::string destination = Resolve(command_.destination);
        if (!MakeDirectories(destination)) {
            Fail(WriteError, "Cannot create output directory " + command_.destination);
            return false;
        }
        // Links above the destination are the caller's business; resolving them here keeps the
        // library's own link check to the part of the path that comes from the archive.
        root_ = Canonical(destination);
        return true;
    }

    bool Open() {
        reader_.reset(archive_read_new());
        writer_.reset(archive_write_disk_new());
        if (!reader_ || !writer_) {
            Fail(InternalError, "Out of memory");
            return false;
        }
        archive* a = reader_.get();
        archive_read_support_filter_all(a);
        archive_read_support_format_7zip(a);
        archive_read_support_format_zip(a);
        archive_read_support_format_tar(a);
        if (archive_read_open_filename(a, archivePath_.c_str(), kReadBlockSize) != ARCHIVE_OK) {
            const int code = archive_errno(a);
            const bool unreadable = code == ENOENT || code == EACCES || code == EISDIR;
            Fail(unreadable ? ArchiveUnreadable : CorruptArchive,
                 "Cannot open " + command_.archive + ": " + ErrorText(a));
            return false;
        }
        // NOABSOLUTEPATHS cannot apply: the destination makes every path absolute, and names
        // are checked before it is prefixed.
        archive_write_disk_set_options(
            writer_.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_UNLINK |
                               ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NODOTDOT);
        return true;
    }

    std::string OnDisk(const PathParts& parts, std::size_t count) const {
        std::string path = root_;
        if (count > 0 && !path.empty() && path.back() != '/' && path.back() != '\\') {
            path += kSeparator;
        }
        return path + JoinParts(parts, count, kSeparator);
    }

    // Index of the first of the first `count` components that is a link on disk, or npos.
    std::size_t FirstLink(const PathParts& parts, std::size_t count) const {
        for (std::size_t i = 0; i < count; ++i) {
            const DiskKind kind = Probe(OnDisk(parts, i + 1));
            if (kind == DiskKind::Link) {
                return i;
            }
            if (kind == DiskKind::Missing) {
                break;
            }
        }
        return std::string::npos;
    }

    // Where a symbolic link at `link` pointing to `target` lands, as parts below the root.
    static PathParts LinkDestination(const PathParts& link, std::string_view target) {
        PathParts landing(link.begin(), link.end() - 1);
        std::size_t start = 0;
        while (start <= target.size()) {
            std::size_t end = target.find_first_of("/\\", start);
            end = end == std::string_view::npos ? target.size() : end;
            std::string_view part = target.substr(start, end - start);
            if (part == "..") {
                if (!landing.empty()) {
                    landing.pop_back();
                }
            } else if (!part.empty() && part != ".") {
                landing.emplace_back(part);
            }
            start = end + 1;
        }
        return landing;
    }

    // The reason the entry may not be written, or empty; rewrites its paths onto the disk.
    std::string Admit(archive_entry* entry, const PathParts& parts) {
        const auto type = archive_entry_filetype(entry);
        const char* hardlink = archive_entry_hardlink(entry);
        if (!hardlink && type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK) {
            return "unsupported entry type";
        }
        const std::size_t last = parts.size() - 1;
        if (FirstLink(parts, last) != std::string::npos) {
            return "path passes through a symbolic link";
        }
        const DiskKind existing = Probe(OnDisk(parts, parts.size()));
        if (type == AE_IFDIR && !hardlink && existing == DiskKind::Link) {
            return "directory would be a symbolic link";
        }
        if (hardlink) {
            PathParts target;
            std::string reason = CheckEntryName(hardlink, target);
            if (!reason.empty()) {
                return "link target: " + reason;
            }
            if (target.empty() || FirstLink(target, target.size()) != std::string::npos) {
                return "link target is or passes through a symbolic link";
            }
            archive_entry_copy_hardlink(entry, OnDisk(target, target.size()).c_str());
        } else if (type == AE_IFLNK) {
            const char* target = archive_entry_symlink(entry);
            std::string reason = CheckSymlinkTarget(parts, target ? target : "");
            if (!reason.empty()) {
                return reason;
            }
            const PathParts landing = LinkDestination(parts, target);
            if (FirstLink(landing, landing.size()) != std::string::npos) {
                return "link target passes through a symbolic link";
            }
            if (existing == DiskKind::Directory) {
                return "symbolic link would replace a directory";
            }
        }
        archive_entry_copy_pathname(entry, OnDisk(parts, parts.size()).c_str());
        return {};
    }

    // How far the entry's data went: the end of its last block, and whether the archive can
    // be read on.
    struct DataEnd {
        la_int64_t end = 0;
        bool readable = true;
        bool beyond = false;  // a block past the declared size, as a broken sparse map gives
    };

    // `declared` is the entry's size, -1 when unknown.
    DataEnd CopyData(const char* name, la_int64_t declared) {
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        bool writable = true;
        DataEnd reached;
        for (;;) {
            const int r = archive_read_data_block(reader_.get(), &block, &size, &offset);
            if (r == ARCHIVE_EOF) {
                return reached;
            }
            if (r < ARCHIVE_WARN) {
                Fail(CorruptArchive,
                     "Data error in " + std::string(name) + ": " + ErrorText(reader_.get()));
                reached.readable = false;
                return reached;
            }
            // A checksum mismatch comes as a warning with the entry's last block.
            if (r == ARCHIVE_WARN) {
                Fail(CorruptArchive,
                     "Data error in " + std::string(name) + ": " + ErrorText(reader_.get()));
            }
            if (declared >= 0 && offset + static_cast<la_int64_t>(size) > declared) {
                Fail(CorruptArchive, "Data error in " + std::string(name) + ": data at byte " +
                                         std::to_string(offset) + " beyond its size " +
                                         std::to_string(declared));
                reached.beyond = true;
                return reached;
            }
            if (writable &&
                archive_write_data_block(writer_.get(), block, size, offset) < ARCHIVE_WARN) {
                Fail(WriteError,
                     "Cannot write " + std::string(name) + ": " + ErrorText(writer_.get()));
                writable = false;
            }
            reached.end = std::max(reached.end, offset + static_cast<la_int64_t>(size));
            bytes_ += size;
        }
    }

    // False when extraction must stop.
    bool ExtractOne(archive_entry* entry) {
        const char* name = archive_entry_pathname(entry);
        if (!name) {
            Refuse("(unnamed)", "name not representable in this code page");
            return true;
        }
        const std::string nameCopy = name;  // the entry's path is rewritten below
        const auto size =
            static_cast<std::uint64_t>(std::max<la_int64_t>(0, archive_entry_size(entry)));
        if (!Notify(ProgressEntry, nameCopy.c_str(), size)) {
            Fail(Cancelled, "Cancelled at " + nameCopy);
            return false;
        }
        PathParts parts;
        std::string reason = CheckEntryName(nameCopy, parts);
        if (reason.empty() && parts.empty()) {
            if (archive_entry_filetype(entry) == AE_IFDIR) {
                return true;  // the destination itself, as "./" in a tar
            }
            reason = "empty name";
        }
        if (reason.empty()) {
            reason = Admit(entry, parts);
        }
        if (!reason.empty()) {
            Refuse(nameCopy.c_str(), reason);
            return true;
        }
        const bool plainFile =
            archive_entry_filetype(entry) == AE_IFREG && archive_entry_hardlink(entry) == nullptr;
        const la_int64_t declared =
            archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
        // A sparse entry's data may end in a hole the writer fills in by its size.
        const bool sparse = archive_entry_sparse_count(entry) > 0;
        // Otherwise the disk writer's padding of a short file out to its declared size is no
        // hole but missing data: sparse on the host, allocated on NTFS, so a header declaring a
        // TiB could fill the disk. Without the size it writes only the data that arrives.
        if (plainFile && !sparse) {
            archive_entry_unset_size(entry);
        }
        if (archive_write_header(writer_.get(), entry) < ARCHIVE_WARN) {
            Fail(WriteError, "Cannot create " + nameCopy + ": " + ErrorText(writer_.get()));
            return true;
        }
        DataEnd reached;
        if (plainFile ? declared != 0 : archive_entry_size(entry) > 0) {
            reached = CopyData(nameCopy.c_str(), plainFile ? declared : -1);
        }
        if (archive_write_finish_entry(writer_.get()) < ARCHIVE_WARN) {
            Fail(WriteError, "Cannot finish " + nameCopy + ": " + ErrorText(writer_.get()));
        }
        if (plainFile &&
            (!reached.readable || reached.beyond || (!sparse && reached.end < declared))) {
            // Half a driver file is worse than none: the copy step would take it as whole.
            const bool removed = RemoveFile(OnDisk(parts, parts.size()));
            Fail(CorruptArchive, (removed ? "Removed " : "Could not remove ") + nameCopy +
                                     ": data ends at byte " + std::to_string(reached.end) + " of " +
                                     std::to_string(declared));
            return reached.readable;
        }
        ++(archive_entry_filetype(entry) == AE_IFDIR ? folders_ : files_);
        return reached.readable;
    }

    void ExtractAll() {
        archive_entry* entry = nullptr;
        for (;;) {
            const int r = archive_read_next_header(reader_.get(), &entry);
            if (r == ARCHIVE_EOF) {
                return;
            }
            if (r < ARCHIVE_WARN) {
                Fail(CorruptArchive, "Cannot read the next entry: " + ErrorText(reader_.get()));
                return;
            }
            if (!ExtractOne(entry)) {
                return;
            }
        }
    }

    std::string Summary() const {
        std::string text = "Archive: " + command_.archive + "\r\n";
        text += "Output: " + command_.destination + "\r\n";
        text += "Files: " + std::to_string(files_) + ", folders: " + std::to_string(folders_) +
                ", bytes: " + std::to_string(bytes_) + "\r\n";
        text += errors_ == 0 ? std::string("Everything is Ok\r\n")
                             : "Errors: " + std::to_string(errors_) + "\r\n";
        for (const std::string& line : details_) {
            text += line + "\r\n";
        }
        if (errors_ > details_.size()) {
            text += "... " + std::to_string(errors_ - details_.size()) + " more\r\n";
        }
        return text;
    }

    const Command& command_;
    const ProgressFn& progress_;
    std::string archivePath_;
    std::string root_;
    std::uint64_t archiveSize_ = 0;
    Reader reader_;
    Writer writer_;
    Result result_ = Ok;
    std::size_t errors_ = 0;
    std::vector<std::string> details_;
    std::uint64_t files_ = 0;
    std::uint64_t folders_ = 0;
    std::uint64_t bytes_ = 0;
};

}  // namespace

void SetPathResolver(PathResolver resolver) {
    std::lock_guard lock(g_resolverMutex);
    g_resolver = std::move(resolver);
}

Outcome Extract(const Command& command, const ProgressFn& progress) {
    return Extraction(command, progress).Run();
}

Outcome RunCommandLine(std::string_view line, const ProgressFn& progress) {
    Command command;
    std::string error;
    if (!ParseCommandLine(line, command, error)) {
        return {BadCommandLine, "Command line error: " + error + "\r\n"};
    }
    return Extract(command, progress);
}

void CopySummary(std::string_view summary, char* out, std::size_t size) {
    if (!out || size == 0) {
        return;
    }
    const std::size_t count = std::min(summary.size(), size - 1);
    std::memcpy(out, summary.data(), count);
    out[count] = '\0';
}

}  // namespace sevenzip
