#include "cache/cache_file.h"

#include "base/code_page.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex::cache {
namespace {

static_assert(std::endian::native == std::endian::little, "the file's integers are little-endian");

constexpr std::string_view kEntryClass = "CGoogleResultCache";
constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kBigTag = 0x7FFF;
constexpr std::uint32_t kClassBit = 0x80000000U;
constexpr std::uint16_t kEntryClassReference = 0x8001;
constexpr std::uint16_t kSchema = 1;
constexpr std::uint16_t kMaxClassName = 64;
constexpr std::uint16_t kUnicodeMarker = 0xFFFE;

constexpr std::string_view kEndOfFile = "An attempt was made to access %1 past its end.";
constexpr std::string_view kGeneralError = "An unknown error occurred while accessing %1.";
constexpr std::string_view kBadIndex = "%1 has a bad format.";
constexpr std::string_view kBadClass = "%1 contained an unexpected object.";
constexpr std::string_view kUnnamedFile = "an unnamed file";

// malloc's header and rounding of one block, roughly: part of what a block costs.
constexpr std::size_t kAllocationOverhead = 16;

// The heap block of a string, when its text does not fit into the string itself.
std::size_t stringMemory(const std::string& text) {
    static const std::size_t inPlace = std::string{}.capacity();
    return text.capacity() > inPlace ? text.capacity() + 1 + kAllocationOverhead : 0;
}

// An entry without its strings: the object, its block and its place in the cache.
constexpr std::size_t kEntryMemory =
    sizeof(CGoogleResultCache) + kAllocationOverhead + sizeof(std::unique_ptr<CGoogleResultCache>);

// Where a list's `count` texts end, without the texts.
std::size_t listEndsMemory(std::size_t count) {
    return count == 0 ? 0 : count * sizeof(std::uint32_t) + kAllocationOverhead;
}

// The writers below append to any `Out` with append(const char*, std::size_t): a string, a
// count of bytes, or a file written through a buffer.
template <class T, class Out>
void put(Out& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

template <class Out>
void putString(Out& out, std::string_view text) {
    const std::uint64_t length = text.size();
    if (length < 0xFF) {
        put<std::uint8_t>(out, static_cast<std::uint8_t>(length));
    } else {
        put<std::uint8_t>(out, 0xFF);
        if (length < 0xFFFE) {
            put<std::uint16_t>(out, static_cast<std::uint16_t>(length));
        } else {
            put<std::uint16_t>(out, 0xFFFF);
            if (length < 0xFFFFFFFFU) {
                put<std::uint32_t>(out, static_cast<std::uint32_t>(length));
            } else {
                put<std::uint32_t>(out, 0xFFFFFFFFU);
                put<std::uint64_t>(out, length);
            }
        }
    }
    out.append(text.data(), text.size());
}

template <class Out>
void putList(Out& out, const CSerStringArray& list) {
    put<std::uint32_t>(out, static_cast<std::uint32_t>(list.size()));
    put<std::int32_t>(out, list.currentIndex);
    for (std::size_t i = 0; i < list.size(); ++i) {
        putString(out, list[i]);
    }
}

template <class Out>
void writeCache(Out& out, const CGoogleResultCacheArray& cache) {
    put<std::uint32_t>(out, static_cast<std::uint32_t>(cache.GetCount()));
    bool first = true;
    for (const auto& entry : cache.entries()) {
        if (first) {
            put<std::uint16_t>(out, kNewClassTag);
            put<std::uint16_t>(out, kSchema);
            put<std::uint16_t>(out, static_cast<std::uint16_t>(kEntryClass.size()));
            out.append(kEntryClass.data(), kEntryClass.size());
            first = false;
        } else {
            put<std::uint16_t>(out, kEntryClassReference);
        }
        putString(out, entry->queryWord);
        put<std::int32_t>(out, entry->estimatedTotal);
        put<std::int32_t>(out, entry->searchedAt.status);
        put<double>(out, entry->searchedAt.days);
        for (const CSerStringArray* list :
             {&entry->urls, &entry->titles, &entry->summaries, &entry->snippets,
              &entry->categoryNames, &entry->directoryTitles, &entry->reservedList}) {
            putList(out, *list);
        }
    }
}

// The size of what writeCache writes, so that the string it goes to is allocated once.
struct ByteCount {
    std::size_t size = 0;
    void append(const char* /*data*/, std::size_t count) { size += count; }
};

// Writes all of `count` bytes; false when the file takes no more.
bool writeAll(int descriptor, const char* data, std::size_t count) {
    for (std::size_t written = 0; written < count;) {
        const ssize_t done = ::write(descriptor, data + written, count - written);
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
    explicit ChunkedFile(int descriptor) : m_descriptor(descriptor) {
        m_buffer.reserve(kSaveChunk);
    }

    void append(const char* data, std::size_t count) {
        if (m_buffer.size() + count > kSaveChunk) {
            flush();
        }
        if (count >= kSaveChunk) {
            m_ok = m_ok && writeAll(m_descriptor, data, count);
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
        m_ok = m_ok && writeAll(m_descriptor, m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }

    int m_descriptor;
    std::string m_buffer;
    bool m_ok = true;
};

enum class StreamError { None, EndOfFile, General, BadIndex, BadClass };

// Reads the stream; after the end every read fails again.
class Input {
public:
    explicit Input(std::string_view bytes) : m_bytes(bytes) {}

    template <class T>
    bool get(T& value) {
        if (m_bytes.size() - m_at < sizeof(T)) {
            m_at = m_bytes.size();
            return false;
        }
        std::memcpy(&value, m_bytes.data() + m_at, sizeof(T));
        m_at += sizeof(T);
        return true;
    }

    bool take(std::size_t count, std::string_view& bytes) {
        if (m_bytes.size() - m_at < count) {
            m_at = m_bytes.size();
            return false;
        }
        bytes = m_bytes.substr(m_at, count);
        m_at += count;
        return true;
    }

    [[nodiscard]] std::size_t left() const { return m_bytes.size() - m_at; }
    void skipToEnd() { m_at = m_bytes.size(); }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
};

StreamError readLength(Input& in, std::uint64_t& length, bool& unicode) {
    std::uint8_t byte = 0;
    if (!in.get(byte)) {
        return StreamError::EndOfFile;
    }
    if (byte < 0xFF) {
        length = byte;
        return StreamError::None;
    }
    std::uint16_t word = 0;
    if (!in.get(word)) {
        return StreamError::EndOfFile;
    }
    if (word == kUnicodeMarker && !unicode) {
        unicode = true;
        return readLength(in, length, unicode);
    }
    if (word < 0xFFFF) {
        length = word;
        return StreamError::None;
    }
    std::uint32_t dword = 0;
    if (!in.get(dword)) {
        return StreamError::EndOfFile;
    }
    if (dword < 0xFFFFFFFFU) {
        length = dword;
        return StreamError::None;
    }
    std::uint64_t qword = 0;
    if (!in.get(qword)) {
        return StreamError::EndOfFile;
    }
    if (qword > 0x7FFFFFFFU) {
        return StreamError::General;
    }
    length = qword;
    return StreamError::None;
}

StreamError readString(Input& in, std::string& text) {
    std::uint64_t length = 0;
    bool unicode = false;
    if (const StreamError error = readLength(in, length, unicode); error != StreamError::None) {
        return error;
    }
    // A length past the end of the file is an end-of-file error before anything is allocated.
    const std::uint64_t bytes = unicode ? 2 * length : length;
    std::string_view raw;
    if (bytes > in.left() || !in.take(static_cast<std::size_t>(bytes), raw)) {
        in.skipToEnd();
        return StreamError::EndOfFile;
    }
    if (unicode) {
        // Texts of the program hold no zero byte: a UTF-16 text ends at its first zero too, as
        // an ANSI one does, so that what is read writes back and reads back the same.
        utf16BytesToCodePage(raw, text);
    } else {
        text.assign(raw.substr(0, raw.find('\0')));
    }
    return StreamError::None;
}

// The bytes the next `count` texts of `in` take as UTF-8 when they are ASCII (an estimate
// otherwise), without moving `in`; counts only what the file holds.
std::size_t textBytesAhead(Input in, std::uint32_t count) {
    std::size_t total = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t length = 0;
        bool unicode = false;
        std::string_view raw;
        if (readLength(in, length, unicode) != StreamError::None ||
            length > (unicode ? in.left() / 2 : in.left()) ||
            !in.take(static_cast<std::size_t>(unicode ? 2 * length : length), raw)) {
            break;
        }
        total += static_cast<std::size_t>(length);
    }
    return total;
}

class Loader {
public:
    Loader(std::string_view bytes, const std::string& fileName, CacheFileErrors& errors)
        : m_in(bytes), m_fileName(fileName), m_errors(errors),
          m_budget(loadMemoryBudget(bytes.size())) {}

    void run(CGoogleResultCacheArray& cache);

private:
    void report(StreamError error) {
        std::string_view text;
        std::string_view name = kUnnamedFile;
        switch (error) {
        case StreamError::EndOfFile:
            text = kEndOfFile;
            break;
        case StreamError::General:
            text = kGeneralError;
            break;
        case StreamError::BadIndex:
            text = kBadIndex;
            name = m_fileName;
            break;
        case StreamError::BadClass:
            text = kBadClass;
            name = m_fileName;
            break;
        case StreamError::None:
            return;
        }
        std::string message{text};
        message.replace(message.find("%1"), 2, name);
        m_errors.report(message);
    }

    // Counts `bytes` of memory against the budget. Once it is spent, the general error is
    // reported and loading ends.
    bool charge(std::size_t bytes) {
        if (m_overBudget || bytes > m_budget - m_used) {
            if (!m_overBudget) {
                m_overBudget = true;
                report(StreamError::General);
            }
            return false;
        }
        m_used += bytes;
        return true;
    }

    // The class tag of the next entry; BadIndex, BadClass or EndOfFile when there is none.
    StreamError readTag(bool& noObject);
    void readList(CSerStringArray& list);

    Input m_in;
    const std::string& m_fileName;
    CacheFileErrors& m_errors;
    std::uint32_t m_items = 0;      // items in the stream's table so far
    std::uint32_t m_entryClass = 0; // the entry class's index, once read
    std::size_t m_budget;
    std::string m_scratch; // each text on its way into its list, which keeps its own copy
    std::size_t m_used = 0;
    bool m_overBudget = false;
};

StreamError Loader::readTag(bool& noObject) {
    noObject = false;
    std::uint16_t tag = 0;
    if (!m_in.get(tag)) {
        return StreamError::EndOfFile;
    }
    if (tag == kNewClassTag) {
        std::uint16_t schema = 0;
        std::uint16_t nameLength = 0;
        std::string_view name;
        // Any schema is read with the same layout.
        if (!m_in.get(schema) || !m_in.get(nameLength) || nameLength >= kMaxClassName ||
            !m_in.take(nameLength, name) || name != kEntryClass) {
            return StreamError::BadClass;
        }
        m_entryClass = ++m_items;
        return StreamError::None;
    }
    std::uint32_t wide = tag;
    if (tag == kBigTag) {
        if (!m_in.get(wide)) {
            return StreamError::EndOfFile;
        }
    } else {
        wide = (tag & 0x7FFFU) | ((tag & 0x8000U) << 16);
    }
    if (wide == 0) {
        noObject = true;
        return StreamError::None;
    }
    // Only the entry class may be referred to; objects are never written twice.
    if ((wide & kClassBit) == 0 || (wide & ~kClassBit) != m_entryClass || m_entryClass == 0) {
        return StreamError::BadIndex;
    }
    return StreamError::None;
}

void Loader::readList(CSerStringArray& list) {
    list.clear();
    std::uint32_t count = 0;
    std::int32_t index = 0;
    list.currentIndex = -1;
    if (!m_in.get(count) || !m_in.get(index)) {
        report(StreamError::EndOfFile);
        return;
    }
    // Every string takes at least its one-byte length, so a count past the end of the file is
    // the end-of-file error its strings would meet, found before their memory is taken.
    if (count > m_in.left()) {
        m_in.skipToEnd();
        report(StreamError::EndOfFile);
        return;
    }
    // The texts' lengths stand before them: the list's block of texts is sized once, for what
    // the file holds of them, and charged before it is taken.
    const std::size_t textBytes = textBytesAhead(m_in, count);
    if (!charge(listEndsMemory(count) + textBytes)) {
        return;
    }
    list.reserve(count, textBytes);
    std::size_t charged = list.memoryBytes();
    for (std::uint32_t i = 0; i < count; ++i) {
        if (const StreamError error = readString(m_in, m_scratch); error != StreamError::None) {
            report(error);
            break;
        }
        list.add(m_scratch);
        // What the list's block of texts grew by, at most one doubling past the budget.
        const std::size_t held = list.memoryBytes();
        if (!charge(held - std::min(held, charged))) {
            return;
        }
        charged = std::max(held, charged);
    }
    list.currentIndex = index >= 0 && static_cast<std::size_t>(index) < list.size() ? index : -1;
}

void Loader::run(CGoogleResultCacheArray& cache) {
    cache.clear();
    std::uint32_t count = 0;
    if (!m_in.get(count)) {
        report(StreamError::EndOfFile);
        return;
    }
    for (std::uint32_t n = 0; n < count; ++n) {
        bool noObject = false;
        if (const StreamError error = readTag(noObject); error != StreamError::None) {
            report(error);
            return;
        }
        if (noObject) {
            cache.clear();
            return;
        }
        auto entry = std::make_unique<CGoogleResultCache>();
        ++m_items;
        if (!charge(kEntryMemory)) {
            return;
        }
        StreamError error = readString(m_in, entry->queryWord);
        if (error == StreamError::None &&
            (!m_in.get(entry->estimatedTotal) || !m_in.get(entry->searchedAt.status) ||
             !m_in.get(entry->searchedAt.days))) {
            error = StreamError::EndOfFile;
        }
        if (error != StreamError::None) {
            report(error);
            return;
        }
        if (!charge(stringMemory(entry->queryWord))) {
            return;
        }
        for (CSerStringArray* list :
             {&entry->urls, &entry->titles, &entry->summaries, &entry->snippets,
              &entry->categoryNames, &entry->directoryTitles, &entry->reservedList}) {
            readList(*list);
            if (m_overBudget) {
                return;
            }
        }
        // Rows are read by index from every list, so an entry whose lists differ is dropped.
        // Its lists were read to their end, so the next entry is read as usual.
        if (!hasParallelLists(*entry)) {
            report(StreamError::BadIndex);
            continue;
        }
        cache.add(std::move(entry));
    }
}

// The whole of a regular file; nothing for a folder, a device or a file that does not read.
// A whole file's bytes, in a block that is not zeroed first: the read fills it.
struct FileBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;

    [[nodiscard]] std::string_view view() const { return {data.get(), size}; }
};

std::optional<FileBytes> readRegularFile(const std::string& path) {
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    struct stat info {};
    bool ok = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
    FileBytes file;
    if (ok) {
        const auto size = static_cast<std::size_t>(info.st_size);
        file.data = std::make_unique_for_overwrite<char[]>(size);
        while (ok && file.size < size) {
            const ssize_t count = ::read(descriptor, file.data.get() + file.size, size - file.size);
            if (count > 0) {
                file.size += static_cast<std::size_t>(count);
            } else if (count == 0) {
                break; // the file became shorter since fstat
            } else {
                ok = errno == EINTR;
            }
        }
    }
    ::close(descriptor);
    if (!ok) {
        return std::nullopt;
    }
    return file;
}

// Flushes what was written to the disk and closes; false when any step fails.
bool syncAndClose(int descriptor, bool written) {
    const bool synced = written && ::fsync(descriptor) == 0;
    return ::close(descriptor) == 0 && synced;
}

// Writes all of `bytes`, flushes them to the disk and closes; false when any step fails.
bool writeAndClose(int descriptor, std::string_view bytes) {
    return syncAndClose(descriptor, writeAll(descriptor, bytes.data(), bytes.size()));
}

} // namespace

std::string writeCacheBytes(const CGoogleResultCacheArray& cache) {
    ByteCount count;
    writeCache(count, cache);
    std::string out;
    out.reserve(count.size);
    writeCache(out, cache);
    return out;
}

std::size_t entryMemory(const CGoogleResultCache& entry) {
    std::size_t total = kEntryMemory + stringMemory(entry.queryWord);
    for (const CSerStringArray* list :
         {&entry.urls, &entry.titles, &entry.summaries, &entry.snippets, &entry.categoryNames,
          &entry.directoryTitles, &entry.reservedList}) {
        total += list->memoryBytes();
    }
    return total;
}

void readCacheBytes(std::string_view bytes, const std::string& fileName,
                    CGoogleResultCacheArray& cache, CacheFileErrors& errors) {
    Loader{bytes, fileName, errors}.run(cache);
}

bool LoadFromFile(const std::string& path, CGoogleResultCacheArray& cache,
                  CacheFileErrors& errors) {
    const std::optional<FileBytes> bytes = readRegularFile(path);
    if (!bytes) {
        return false;
    }
    readCacheBytes(bytes->view(), path, cache, errors);
    return true;
}

bool SaveToFile(const std::string& path, const CGoogleResultCacheArray& cache) {
    std::string temporary = path + ".XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0) {
        return false;
    }
    ChunkedFile out{descriptor};
    writeCache(out, cache);
    // The old file is replaced only by a complete new one.
    if (!syncAndClose(descriptor, out.finish()) ||
        std::rename(temporary.c_str(), path.c_str()) != 0) {
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
        const std::optional<FileBytes> bytes = readRegularFile(path);
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
