#include "unzip/unzip.h"

#include <zip.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

namespace platform {
namespace {

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct EntryCloser {
    void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;
using Entry = std::unique_ptr<zip_file_t, EntryCloser>;

// The CRC-32 of zip archives (reflected polynomial 0xEDB88320).
class Crc32 {
public:
    void Add(const unsigned char* data, std::size_t size) {
        static const std::array<std::uint32_t, 256> table = [] {
            std::array<std::uint32_t, 256> t{};
            for (std::uint32_t i = 0; i < 256; ++i) {
                std::uint32_t c = i;
                for (int k = 0; k < 8; ++k)
                    c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                t[i] = c;
            }
            return t;
        }();
        for (std::size_t i = 0; i < size; ++i)
            crc_ = table[(crc_ ^ data[i]) & 0xFFu] ^ (crc_ >> 8);
    }
    std::uint32_t Value() const { return crc_ ^ 0xFFFFFFFFu; }

private:
    std::uint32_t crc_ = 0xFFFFFFFFu;
};

// The output file; removed again unless Keep was called.
class OutputFile {
public:
    explicit OutputFile(const std::string& path) : path_(path) {
        ::unlink(path.c_str());
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        created_ = fd_ >= 0;
    }
    ~OutputFile() {
        if (fd_ >= 0) ::close(fd_);
        if (created_ && !keep_) ::unlink(path_.c_str());
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    bool Write(const unsigned char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(fd_, data, size);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    void Keep() { keep_ = true; }

private:
    std::string path_;
    int fd_ = -1;
    bool created_ = false;
    bool keep_ = false;
};

UnzipResult Refuse(std::string reason) {
    UnzipResult result;
    result.error = std::move(reason);
    return result;
}

std::string ArchiveError(zip_t* archive) {
    return zip_strerror(archive);
}

} // namespace

UnzipResult ExtractSingleEntry(const std::string& archivePath, const std::string& password,
                               const std::string& outputPath, std::uint64_t maxSize) {
    int openError = 0;
    Archive archive(zip_open(archivePath.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &openError));
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, openError);
        std::string text = "The archive cannot be opened: ";
        text += zip_error_strerror(&error);
        zip_error_fini(&error);
        return Refuse(text);
    }
    const zip_int64_t entries = zip_get_num_entries(archive.get(), 0);
    if (entries != 1)
        return Refuse("The archive holds " + std::to_string(entries < 0 ? 0 : entries) +
                      " entries; a profile holds exactly one.");

    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive.get(), 0, 0, &stat) != 0)
        return Refuse("The archive's entry cannot be read: " + ArchiveError(archive.get()));
    const zip_uint64_t needed = ZIP_STAT_SIZE | ZIP_STAT_CRC;
    if ((stat.valid & needed) != needed) return Refuse("The archive's entry has no size or CRC.");
    if (stat.size > maxSize)
        return Refuse("The archive's entry is larger (" + std::to_string(stat.size) +
                      " bytes) than a profile can be (" + std::to_string(maxSize) + " bytes).");

    // Methods this libzip cannot undo are refused here: opening such an entry fails inside the
    // library in a way that leaks what it had made for the entry.
    if ((stat.valid & ZIP_STAT_COMP_METHOD) != 0 &&
        zip_compression_method_supported(stat.comp_method, 0) == 0)
        return Refuse("The archive's entry is compressed with an unsupported method (" +
                      std::to_string(stat.comp_method) + ").");
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 &&
        zip_encryption_method_supported(stat.encryption_method, 0) == 0)
        return Refuse("The archive's entry is encrypted with an unsupported method (" +
                      std::to_string(stat.encryption_method) + ").");

    Entry entry(zip_fopen_index_encrypted(archive.get(), 0, 0,
                                          password.empty() ? nullptr : password.c_str()));
    if (!entry)
        return Refuse("The archive's entry cannot be opened: " + ArchiveError(archive.get()));

    OutputFile output(outputPath);
    if (!output.IsOpen())
        return Refuse("The file " + outputPath + " cannot be created: " + std::strerror(errno));

    Crc32 crc;
    std::uint64_t total = 0;
    std::array<unsigned char, 16384> buffer;
    for (;;) {
        const zip_int64_t n = zip_fread(entry.get(), buffer.data(), buffer.size());
        if (n < 0) {
            const std::string reason = zip_error_strerror(zip_file_get_error(entry.get()));
            return Refuse("The archive's entry cannot be extracted (wrong password or damaged "
                          "archive): " +
                          reason);
        }
        if (n == 0) break;
        total += static_cast<std::uint64_t>(n);
        // The stored size was checked above; a body that inflates past it is damaged.
        if (total > stat.size) return Refuse("The archive's entry is longer than it declares.");
        crc.Add(buffer.data(), static_cast<std::size_t>(n));
        if (!output.Write(buffer.data(), static_cast<std::size_t>(n)))
            return Refuse("The file " + outputPath + " cannot be written: " + std::strerror(errno));
    }
    if (total != stat.size) return Refuse("The archive's entry is shorter than it declares.");
    if (crc.Value() != stat.crc)
        return Refuse("The archive's entry fails its CRC check (wrong password or damaged "
                      "archive).");
    if (!output.Close())
        return Refuse("The file " + outputPath + " cannot be written: " + std::strerror(errno));
    output.Keep();
    UnzipResult result;
    result.ok = true;
    result.size = total;
    return result;
}

} // namespace platform
