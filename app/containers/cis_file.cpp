#include "cis_file.h"

#include "container.h"
#include "container_names.h"
#include "file_handle.h"
#include "msgbox.h"
#include "showdata.h"
#include "textcodec.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace {

using Record = _CDH_CIS_RECORD_;

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
std::uint64_t Get64(const std::uint8_t* p) {
    return std::uint64_t{Get32(p)} | std::uint64_t{Get32(p + 4)} << 32;
}
void Put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Seconds since 1970 broken down into local calendar time, and that calendar time taken as a
// FILETIME without zone adjustment (how version 0x0100 files keep times).
CisFileTime LocalCalendarFileTime(std::uint32_t seconds) {
    const std::time_t t = seconds;
    std::tm tm{};
    if (::localtime_r(&t, &tm) == nullptr) return 0;
    return CisFileTimeFromUnix(::timegm(&tm), 0);
}

// Sets every counter and size of a subtree from its entries: the file's own counters are not
// trusted. False when a sum does not fit its field.
bool Recount(Record* folder) {
    folder->subFolders = folder->totalFolders = folder->files = folder->totalFiles = 0;
    folder->size = folder->allocated = 0;
    Record* first = folder->firstChild;
    if (first == nullptr) return true;
    Record* c = first;
    do {
        std::uint32_t folders = 0, files = 1;
        if (c->IsFolder()) {
            if (!Recount(c)) return false;
            folders = c->totalFolders + 1;
            files = c->totalFiles;
            if (folders == 0) return false;
            ++folder->subFolders;
        } else {
            c->subFolders = c->totalFolders = c->files = c->totalFiles = 0;
            c->allocated = CisAllocatedSize(c->size);
            ++folder->files;
        }
        if (__builtin_add_overflow(folder->totalFolders, folders, &folder->totalFolders) ||
            __builtin_add_overflow(folder->totalFiles, files, &folder->totalFiles) ||
            __builtin_add_overflow(folder->size, c->size, &folder->size) ||
            __builtin_add_overflow(folder->allocated, c->allocated, &folder->allocated))
            return false;
        c = c->next;
    } while (c != first);
    return true;
}

} // namespace

// Reads the records of one file into a tree of its own, which the container takes only when the
// whole file was read.
class CisReader {
public:
    CisReader(MIRROR_CONTAINER& container, const std::uint8_t* data, std::size_t size)
        : container_(container), data_(data), size_(size) {}
    ~CisReader() { container_.FreeSubtree(root_); }
    CisReader(const CisReader&) = delete;
    CisReader& operator=(const CisReader&) = delete;

    // 0, 2 or 3; version gets the file's version.
    int CheckHeader(std::uint16_t& version);
    int ReadR4Record(Record* parent, int depth);
    int ReadR1Record(Record* parent, int depth);
    bool AtEnd() const { return at_ == size_; }
    // Texts read that held bytes of no character of the code page (shown as U+FFFD).
    std::size_t UndecodableTexts() const { return undecodable_; }
    Record* Root() const { return root_; }
    // The tree read, handed over.
    Record* TakeRoot() { return std::exchange(root_, nullptr); }

private:
    const std::uint8_t* Take(std::size_t n) {
        if (size_ - at_ < n) return nullptr;
        const std::uint8_t* p = data_ + at_;
        at_ += n;
        return p;
    }
    int ReadText(std::size_t stored, std::size_t limit, std::string& out);
    int Place(std::unique_ptr<Record> record, Record* parent, int depth);
    template <typename ReadChild>
    int ReadChildren(Record* folder, std::uint64_t count, std::size_t minimum, int depth,
                     ReadChild read);
    // The part after a record's fixed header: its source and name texts, its place in the tree
    // and, for a folder, its children (each at least minimum bytes, read with read).
    template <typename ReadChild>
    int FinishRecord(std::unique_ptr<Record> record, std::size_t sourceLength,
                     std::size_t nameLength, Record* parent, int depth, std::size_t minimum,
                     ReadChild read);

    MIRROR_CONTAINER& container_;
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool textsAsStored_ = false; // the header carries the text mark
    std::size_t undecodable_ = 0;
    Record* root_ = nullptr;
};

int CisReader::CheckHeader(std::uint16_t& version) {
    if (size_ < cis::kVersionAt) return kCisReadError;
    if (Get32(data_ + cis::kSignatureAt) != cis::kSignature) return kCisBadFormat;
    if (size_ < cis::kVersionAt + 2) return kCisReadError;
    version = Get16(data_ + cis::kVersionAt);
    std::size_t headerSize = 0, sumAt = 0;
    if (version == cis::kVersion1) {
        headerSize = cis::kHeader1Size;
        sumAt = cis::kHeader1SumAt;
    } else if (version == cis::kVersion4) {
        headerSize = cis::kHeader4Size;
        sumAt = cis::kHeader4SumAt;
    } else {
        return kCisBadFormat;
    }
    const std::uint8_t* header = Take(headerSize);
    if (header == nullptr) return kCisReadError;
    if (MIRROR_CONTAINER::ByteSum(sumAt, header) != Get32(header + sumAt)) return kCisBadFormat;
    textsAsStored_ =
        version == cis::kVersion4 &&
        std::memcmp(header + cis::kTextMarkAt, cis::kTextMark, sizeof cis::kTextMark) == 0;
    return kCisOk;
}

// A stored text of `stored` bytes that must end in its only zero byte. A file with the text mark
// holds the texts as this program uses them; any other file's texts are in the code page of the
// message language (cis_file.h).
int CisReader::ReadText(std::size_t stored, std::size_t limit, std::string& out) {
    const std::uint8_t* p = Take(stored);
    if (p == nullptr) return kCisReadError;
    if (p[stored - 1] != 0 || std::memchr(p, 0, stored - 1) != nullptr) return kCisBadFormat;
    out.assign(reinterpret_cast<const char*>(p), stored - 1);
    // A byte that starts no character of the code page becomes U+FFFD, which no code page the
    // program reads holds: the name shows where it was, and the text is counted so that the
    // user hears of it. ASCII reads the same in every code page the program uses, and is not
    // converted.
    const auto ascii = [](unsigned char c) { return c < 0x80; };
    if (!textsAsStored_ && !std::all_of(p, p + stored - 1, ascii)) {
        static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
        std::optional<std::string> converted = AnsiToUtf8(out, kReplacement, CutTail::AsBadBytes);
        if (!converted) return kCisBadFormat;
        out = std::move(*converted);
        if (out.find(kReplacement) != std::string::npos) ++undecodable_;
    }
    if (out.size() >= limit) return kCisBadFormat;
    return kCisOk;
}

// Checks what one record may hold and links it under parent (or makes it the root).
int CisReader::Place(std::unique_ptr<Record> record, Record* parent, int depth) {
    if (record->IsVirtual() && !record->IsFolder()) return kCisBadFormat;
    if (parent == nullptr) {
        if (!record->IsFolder()) return kCisBadFormat;
    } else if (!IsLoadableCisName(record->name) || depth > kCisMaxDepth) {
        return kCisBadFormat;
    }
    if (!record->IsFolder() && record->size > kCisMaxFileSize) return kCisBadFormat;
    Record* r = record.release();
    if (parent == nullptr)
        root_ = r;
    else
        container_.LinkChild(parent, r);
    return kCisOk;
}

template <typename ReadChild>
int CisReader::ReadChildren(Record* folder, std::uint64_t count, std::size_t minimum, int depth,
                            ReadChild read) {
    if (count > (size_ - at_) / minimum) return kCisBadFormat;
    for (std::uint64_t i = 0; i < count; ++i)
        if (const int code = read(folder, depth + 1); code != kCisOk) return code;
    // The kinds of the records read must be the counts that announced them.
    std::uint32_t folders = 0, files = 0;
    if (Record* first = folder->firstChild) {
        Record* c = first;
        do {
            ++(c->IsFolder() ? folders : files);
            c = c->next;
        } while (c != first);
    }
    return folders == folder->subFolders && files == folder->files ? kCisOk : kCisBadFormat;
}

template <typename ReadChild>
int CisReader::FinishRecord(std::unique_ptr<Record> record, std::size_t sourceLength,
                            std::size_t nameLength, Record* parent, int depth, std::size_t minimum,
                            ReadChild read) {
    if (const int code = ReadText(sourceLength, kCisMaxSourceBytes, record->source); code != 0)
        return code;
    if (const int code = ReadText(nameLength, kCisMaxNameBytes, record->name); code != 0)
        return code;

    Record* r = record.get();
    if (const int code = Place(std::move(record), parent, depth); code != kCisOk) return code;
    if (!r->IsFolder()) return kCisOk;
    return ReadChildren(r, std::uint64_t{r->subFolders} + r->files, minimum, depth, read);
}

int CisReader::ReadR4Record(Record* parent, int depth) {
    const std::uint8_t* h = Take(cis::kR4HeaderSize);
    if (h == nullptr) return kCisReadError;
    if (Get16(h + cis::kR4SignatureAt) != cis::kR4Signature) return kCisBadFormat;
    const std::size_t sourceLength = Get16(h + cis::kR4SourceLengthAt);
    const std::size_t nameLength = Get16(h + cis::kR4NameLengthAt);
    if (sourceLength == 0 || sourceLength > kCisMaxSourceBytes || nameLength == 0 ||
        nameLength > kCisMaxNameBytes ||
        Get16(h + cis::kR4LengthAt) != cis::kR4HeaderSize + sourceLength + nameLength)
        return kCisBadFormat;

    auto record = std::make_unique<Record>();
    record->attributes = Get32(h + cis::kR4AttributesAt);
    record->time = Get64(h + cis::kR4TimeAt);
    if (record->IsFolder()) {
        record->directoryNumber = Get16(h + cis::kR4DirNumberAt);
        record->level = Get16(h + cis::kR4LevelAt);
        record->subFolders = Get32(h + cis::kR4SubFoldersAt);
        record->files = Get32(h + cis::kR4FilesAt);
    } else {
        record->secondTime = Get64(h + cis::kR4SecondTimeAt);
        record->size = Get64(h + cis::kR4SizeAt);
    }
    record->extent = Get64(h + cis::kR4ExtentAt);
    return FinishRecord(std::move(record), sourceLength, nameLength, parent, depth,
                        cis::kR4MinimumRecord,
                        [this](Record* folder, int d) { return ReadR4Record(folder, d); });
}

int CisReader::ReadR1Record(Record* parent, int depth) {
    const std::uint8_t* signature = Take(2);
    if (signature == nullptr) return kCisReadError;
    if (Get16(signature) != cis::kR1Signature) return kCisBadFormat;
    if (Take(cis::kR1HeaderSize - 2) == nullptr) return kCisReadError;
    const std::uint8_t* h = signature;
    const std::size_t sourceLength = std::size_t{Get16(h + cis::kR1SourceLengthAt)} + 1;
    const std::size_t nameLength = std::size_t{Get16(h + cis::kR1NameLengthAt)} + 1;
    if (sourceLength > kCisMaxSourceBytes || nameLength > kCisMaxNameBytes) return kCisBadFormat;

    auto record = std::make_unique<Record>();
    record->attributes = Get32(h + cis::kR1AttributesAt);
    record->time = LocalCalendarFileTime(Get32(h + cis::kR1TimeAt));
    if (record->IsFolder()) {
        record->directoryNumber = Get16(h + cis::kR1DirNumberAt);
        record->level = Get16(h + cis::kR1LevelAt);
        record->subFolders = Get16(h + cis::kR1SubFoldersAt);
        record->files = Get32(h + cis::kR1FilesAt);
    } else {
        record->secondTime = LocalCalendarFileTime(Get32(h + cis::kR1SecondTimeAt));
        record->size = Get32(h + cis::kR1SizeAt);
    }
    record->extent = Get32(h + cis::kR1ExtentAt);
    return FinishRecord(std::move(record), sourceLength, nameLength, parent, depth,
                        cis::kR1MinimumRecord,
                        [this](Record* folder, int d) { return ReadR1Record(folder, d); });
}

namespace {

// The path of an entry of a tree being read: a backslash for the root, \a\b below it.
std::string ReaderPath(const Record* record) {
    if (record->parent == nullptr) return "\\";
    std::string path;
    for (const Record* r = record; r->parent != nullptr; r = r->parent)
        path.insert(0, "\\" + r->name);
    return path;
}

// The first folder (depth first) holding two entries whose names are the same but for letter
// case, as the folder's lookups compare them; report gets the folder and the two names.
bool FindCaseTwins(const Record* folder, CisLoadReport& report) {
    const Record* first = folder->firstChild;
    if (first == nullptr) return false;
    std::vector<std::pair<std::string, const Record*>> names;
    const Record* c = first;
    do {
        names.emplace_back(UpperCaseName(c->name), c);
        c = c->next;
    } while (c != first);
    std::stable_sort(names.begin(), names.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < names.size(); ++i) {
        if (names[i].first != names[i - 1].first) continue;
        report.twinFolder = ReaderPath(folder);
        report.twinFirst = names[i - 1].second->name;
        report.twinSecond = names[i].second->name;
        return true;
    }
    c = first;
    do {
        if (c->IsFolder() && FindCaseTwins(c, report)) return true;
        c = c->next;
    } while (c != first);
    return false;
}

} // namespace

std::uint32_t MIRROR_CONTAINER::ByteSum(std::size_t count, const std::uint8_t* bytes) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return sum;
}

int MIRROR_CONTAINER::LoadFromBytes(const std::uint8_t* data, std::size_t size,
                                    const std::string& path) {
    loadReport_ = {};
    if (size > kCisMaxFileBytes) return kCisBadFormat;
    try {
        CisReader reader(*this, data, size);
        std::uint16_t version = 0;
        if (const int code = reader.CheckHeader(version); code != kCisOk) return code;
        const int code = version == cis::kVersion4 ? reader.ReadR4Record(nullptr, 0)
                                                   : reader.ReadR1Record(nullptr, 0);
        if (code != kCisOk) return code;
        // Bytes after the last record would be entries that no count announced.
        if (!reader.AtEnd()) return kCisBadFormat;
        Record* root = reader.Root();
        if (!Recount(root)) return kCisBadFormat;
        // Entries an import would refuse as the same name: refused here too, by name.
        if (CisLoadReport twins; FindCaseTwins(root, twins)) {
            loadReport_ = std::move(twins);
            return kCisCaseTwins;
        }
        loadReport_.undecodableTexts = reader.UndecodableTexts();
        root->name = kRootName;
        root->source = path;
        Clear();
        root_ = reader.TakeRoot();
    } catch (const std::bad_alloc&) {
        return kCisNoMemory;
    }
    if (DebugLogTarget != nullptr) {
        const std::string line(60, '=');
        DebugLogPair(*DebugLogTarget, "Begin Loading Container File -> ", path.c_str());
        DebugLogPair(*DebugLogTarget, "", line.c_str());
        DebugLogNumber(*DebugLogTarget, "Total folder(s) -> ",
                       static_cast<std::int32_t>(root_->totalFolders));
        DebugLogNumber(*DebugLogTarget, "Total file(s)   -> ",
                       static_cast<std::int32_t>(root_->totalFiles));
        DebugLogPair(*DebugLogTarget, "", line.c_str());
    }
    return kCisOk;
}

int MIRROR_CONTAINER::LoadFile(const std::string& path) {
    loadReport_ = {};
    // Non-blocking, so that a FIFO given as the file does not wait for a writer.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) return kCisOpenError;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return kCisOpenError;
    // Larger than any container this program writes: refused by its size, before a byte of it is
    // read or held in memory.
    if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > kCisMaxFileBytes)
        return kCisBadFormat;
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(st.st_size));
    } catch (const std::bad_alloc&) {
        return kCisNoMemory;
    } catch (const std::length_error&) {
        return kCisNoMemory;
    }
    // The file may have grown since it was measured: nothing past the measured size is read.
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(file.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return kCisReadError;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (!file.Close()) return kCisCloseError;
    return LoadFromBytes(bytes.data(), got, path);
}

namespace {

void AppendText(std::vector<std::uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

// One record and, for a folder, its subtree; the root carries rootSource as its source.
void EncodeRecord(std::vector<std::uint8_t>& out, const Record* r, const std::string& source) {
    std::array<std::uint8_t, cis::kR4HeaderSize> h{};
    const std::size_t sourceLength = source.size() + 1;
    const std::size_t nameLength = r->name.size() + 1;
    Put16(h.data() + cis::kR4SignatureAt, cis::kR4Signature);
    Put16(h.data() + cis::kR4LengthAt,
          static_cast<std::uint16_t>(cis::kR4HeaderSize + sourceLength + nameLength));
    Put32(h.data() + cis::kR4AttributesAt, r->attributes);
    Put32(h.data() + cis::kR4ReservedAt, 0);
    Put64(h.data() + cis::kR4TimeAt, r->time);
    if (r->IsFolder()) {
        Put16(h.data() + cis::kR4DirNumberAt, r->directoryNumber);
        Put16(h.data() + cis::kR4LevelAt, r->level);
        Put32(h.data() + cis::kR4SubFoldersAt, r->subFolders);
        Put32(h.data() + cis::kR4TotalFoldersAt, r->totalFolders);
        Put32(h.data() + cis::kR4FilesAt, r->files);
        Put32(h.data() + cis::kR4TotalFilesAt, r->totalFiles);
    } else {
        Put64(h.data() + cis::kR4SecondTimeAt, r->secondTime);
    }
    Put64(h.data() + cis::kR4SizeAt, r->size);
    Put64(h.data() + cis::kR4AllocatedAt, r->allocated);
    Put64(h.data() + cis::kR4ExtentAt, r->extent);
    Put16(h.data() + cis::kR4SourceLengthAt, static_cast<std::uint16_t>(sourceLength));
    Put16(h.data() + cis::kR4NameLengthAt, static_cast<std::uint16_t>(nameLength));
    out.insert(out.end(), h.begin(), h.end());
    AppendText(out, source);
    AppendText(out, r->name);
    if (Record* first = r->firstChild) {
        const Record* c = first;
        do {
            EncodeRecord(out, c, c->source);
            c = c->next;
        } while (c != first);
    }
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// A new file beside path, made with the permissions the umask gives (or those of the file it
// will replace); -1 when none can be made. name gets its path.
int CreateSibling(const std::string& path, std::string& name) {
    std::random_device rd;
    for (int attempt = 0; attempt < 64; ++attempt) {
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, ".saving-%08x", static_cast<unsigned>(rd()));
        name = path + suffix;
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            struct stat old {};
            if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
                ::fchmod(fd, old.st_mode & 07777);
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    return -1;
}

} // namespace

std::string CisSaveSummary(const MIRROR_CONTAINER& container) {
    const Record* root = container.GetRoot();
    const Record* c = container.GetFirstChild(root);
    if (c == nullptr) return {};
    std::string summary = "Files:\n";
    int n = 0;
    for (; c != nullptr; c = container.GetNextSibling(c), ++n) {
        if (n == 10) {
            summary += "...etc\n";
            break;
        }
        summary += c->source + "\n";
    }
    return summary;
}

bool MIRROR_CONTAINER::SaveToBytes(const std::string& path,
                                   std::vector<std::uint8_t>& bytes) const {
    bytes.clear();
    if (root_ == nullptr) return false;
    try {
        bytes.assign(cis::kHeader4Size, 0);
        Put32(bytes.data() + cis::kSignatureAt, cis::kSignature);
        Put16(bytes.data() + cis::kVersionAt, cis::kVersion4);
        std::memcpy(bytes.data() + cis::kTextMarkAt, cis::kTextMark, sizeof cis::kTextMark);
        Put32(bytes.data() + cis::kHeader4SumAt, ByteSum(cis::kHeader4SumAt, bytes.data()));
        EncodeRecord(bytes, root_, path);
        // A container too large for the reader would be written and never read back.
        if (bytes.size() > kCisMaxFileBytes) {
            bytes.clear();
            return false;
        }
    } catch (const std::bad_alloc&) {
        bytes.clear();
        return false;
    }
    return true;
}

int MIRROR_CONTAINER::SaveFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (!SaveToBytes(path, bytes)) return kCisWriteError;

    // A container file reached through a symbolic link is replaced where it lies.
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    std::string temporary;
    FileHandle file(CreateSibling(target, temporary));
    if (file.get() < 0) return kCisOpenError;
    int code = kCisOk;
    if (!WriteAll(file.get(), bytes.data(), bytes.size()) || ::fsync(file.get()) != 0)
        code = kCisWriteError;
    if (!file.Close() && code == kCisOk) code = kCisCloseError;
    if (code == kCisOk && ::rename(temporary.c_str(), target.c_str()) != 0) code = kCisWriteError;
    if (code != kCisOk) {
        ::unlink(temporary.c_str());
        return code;
    }
    root_->source = path;
    if (const std::string summary = CisSaveSummary(*this); !summary.empty()) ShowMessage(summary);
    return kCisOk;
}
