// Reading and saving the cache file on disk: whole reads, a save through a buffer that replaces
// the old file only by a complete new one, and copies of damaged files kept aside.
#include "cache/cache_file.h"
#include "cache/cache_format.h"
#include "cache/large_block.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex::cache {
namespace {

using format::writeCache;

// Writes all of `count` bytes; false when the file takes no more.
bool writeAll(SaveCalls& calls, int descriptor, const char* data, std::size_t count) {
    for (std::size_t written = 0; written < count;) {
        const std::int64_t done = calls.write(descriptor, data + written, count - written);
        if (done > 0) {
            written += static_cast<std::size_t>(done);
        } else if (done == 0 || errno != EINTR) {
            return false;
        }
    }
    return true;
}

// A save on its way to the file: gathered in a buffer of kSaveChunk bytes, written each time
// it fills. No copy of the whole file is made in memory: on a small machine, mapping in 45 MB
// for it cost several times the write.
class ChunkedFile {
public:
    ChunkedFile(SaveCalls& calls, int descriptor) : m_calls(calls), m_descriptor(descriptor) {
        m_buffer.reserve(kSaveChunk);
    }

    void append(const char* data, std::size_t count) {
        m_total += count;
        if (m_total > kMaxCacheFileBytes) {
            m_ok = false; // a file no load would read
        }
        if (!m_ok) {
            return;
        }
        if (m_buffer.size() + count > kSaveChunk) {
            flush();
        }
        if (count >= kSaveChunk) {
            m_ok = m_ok && writeAll(m_calls, m_descriptor, data, count);
        } else {
            m_buffer.append(data, count);
        }
    }
    // False when any write failed.
    [[nodiscard]] bool finish() {
        flush();
        return m_ok;
    }

private:
    static constexpr std::size_t kSaveChunk = std::size_t{1} << 20;

    void flush() {
        m_ok = m_ok && writeAll(m_calls, m_descriptor, m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }

    SaveCalls& m_calls;
    int m_descriptor;
    std::string m_buffer;
    std::size_t m_total = 0;
    bool m_ok = true;
};

// A whole file's bytes, in a block that is not zeroed first: the read fills it.
class FileBytes {
public:
    // Reads `capacity` bytes of `descriptor`, or what there is when the file became shorter;
    // false when there is no memory for them or the read fails.
    [[nodiscard]] bool read(int descriptor, std::size_t capacity) {
        m_block = LargeBlock{capacity};
        m_size = 0;
        if (m_block.size() < capacity) {
            return false;
        }
        while (m_size < capacity) {
            const ssize_t count = ::read(descriptor, m_block.data() + m_size, capacity - m_size);
            if (count > 0) {
                m_size += static_cast<std::size_t>(count);
            } else if (count == 0) {
                break; // the file became shorter since its size was taken
            } else if (errno != EINTR) {
                return false;
            }
        }
        return true;
    }
    [[nodiscard]] std::string_view view() const { return {m_block.data(), m_size}; }

private:
    LargeBlock m_block;
    std::size_t m_size = 0;
};

// What reading a file found.
struct ReadFile {
    std::optional<FileBytes> bytes; // the whole file, when it was read
    bool oversized = false;         // a regular file over kMaxCacheFileBytes, left unread
};

// The whole of a regular file; nothing for a folder, a device, a file that does not read or one
// larger than `limit`.
ReadFile readRegularFile(const std::string& path, std::size_t limit) {
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return {};
    }
    struct stat info {};
    ReadFile file;
    if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)) {
        const auto size = static_cast<std::size_t>(info.st_size);
        file.oversized = size > limit;
        if (!file.oversized && !file.bytes.emplace().read(descriptor, size)) {
            file.bytes.reset();
        }
    }
    ::close(descriptor);
    return file;
}

// Flushes what was written to the disk and closes; false when any step fails.
bool syncAndClose(SaveCalls& calls, int descriptor, bool written) {
    const bool synced = written && calls.sync(descriptor) == 0;
    return ::close(descriptor) == 0 && synced;
}

// Writes all of `bytes`, flushes them to the disk and closes; false when any step fails.
bool writeAndClose(int descriptor, std::string_view bytes) {
    SaveCalls calls;
    return syncAndClose(calls, descriptor, writeAll(calls, descriptor, bytes.data(), bytes.size()));
}

} // namespace

bool LoadFromFile(const std::string& path, CGoogleResultCacheArray& cache,
                  CacheFileErrors& errors) {
    const ReadFile file = readRegularFile(path, kMaxCacheFileBytes);
    if (file.oversized) {
        refuseOversizedFile(cache, errors);
        return true;
    }
    if (!file.bytes) {
        return false;
    }
    readCacheBytes(file.bytes->view(), path, cache, errors);
    return true;
}

std::int64_t SaveCalls::write(int descriptor, const char* data, std::size_t count) {
    return ::write(descriptor, data, count);
}

int SaveCalls::sync(int descriptor) {
    return ::fsync(descriptor);
}

int SaveCalls::rename(const char* from, const char* to) {
    return std::rename(from, to);
}

bool SaveToFile(const std::string& path, const CGoogleResultCacheArray& cache) {
    SaveCalls calls;
    return SaveToFile(path, cache, calls);
}

bool SaveToFile(const std::string& path, const CGoogleResultCacheArray& cache, SaveCalls& calls) {
    // Only a regular file is replaced: the rename would put the cache in the place of a device
    // or a pipe (as root, /dev/zero itself), and the thing named is no cache to lose anyway.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return false;
    }
    std::string temporary = path + ".XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0) {
        return false;
    }
    ChunkedFile out{calls, descriptor};
    writeCache(out, cache);
    // The old file is replaced only by a complete new one.
    if (!syncAndClose(calls, descriptor, out.finish()) ||
        calls.rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

KeptCopy keepDamagedFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {errno == ENOENT ? KeptCopy::Status::NoFile : KeptCopy::Status::Failed, {}};
    }
    // A device or a pipe gets no second name: no save replaces it either.
    if (!S_ISREG(info.st_mode)) {
        return {KeptCopy::Status::Failed, {}};
    }
    for (int n = 0; n < kMaxDamagedCopies; ++n) {
        std::string name = path + std::string{kDamagedSuffix};
        if (n > 0) {
            name.append(".").append(std::to_string(n));
        }
        // A second name for the same file: nothing is copied, an existing name is never
        // replaced, and the save's rename then leaves the old file under this name alone.
        if (::link(path.c_str(), name.c_str()) == 0) {
            return {KeptCopy::Status::Kept, name};
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno == ENOENT) {
            return {KeptCopy::Status::NoFile, {}};
        }
        // A file system without hard links: a copy, under a name that must be new.
        const ReadFile copied = readRegularFile(path, SIZE_MAX);
        const std::optional<FileBytes>& bytes = copied.bytes;
        if (!bytes) {
            return {KeptCopy::Status::Failed, {}};
        }
        const int descriptor =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777);
        if (descriptor < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return {KeptCopy::Status::Failed, {}};
        }
        if (!writeAndClose(descriptor, bytes->view())) {
            std::remove(name.c_str());
            return {KeptCopy::Status::Failed, {}};
        }
        return {KeptCopy::Status::Kept, name};
    }
    return {KeptCopy::Status::Failed, {}};
}

} // namespace tarvex::cache
