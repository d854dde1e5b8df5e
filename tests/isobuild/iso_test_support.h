// Helpers of the image builder tests: a sink that keeps what a build sends, a decoder of ISO 9660
// images written here from the format's field offsets (independent of the builder's encoder) that
// turns an image into a readable sector map, and small host-tree and process helpers.
#pragma once

#include "container.h"
#include "isobuild.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace isotest {

using Bytes = std::vector<std::uint8_t>;
using Record = _CDH_CIS_RECORD_;

// Keeps every message of a session; a hook may act before a chosen message is taken.
class RecordingSink : public IsoImageSink {
public:
    int Start(const NasCDTable& t, NasMirrorInfo& request) override {
        ++starts;
        table = t;
        this->request = request;
        return startResult;
    }
    int Send(const std::uint8_t* data, std::size_t length) override {
        if (onSend) onSend(messages.size());
        messages.emplace_back(data, data + length);
        image.insert(image.end(), data, data + length);
        return messages.size() == failAtMessage ? sendFailure : 0;
    }
    int Complete() override {
        ++completes;
        return 0;
    }
    int Abort(int reason) override {
        aborts.push_back(reason);
        return 0;
    }

    int startResult = 0;
    std::size_t failAtMessage = 0; // 1-based message whose send fails; 0 none
    int sendFailure = -1;
    std::function<void(std::size_t)> onSend; // called with the number of messages before it
    int starts = 0;
    int completes = 0;
    std::vector<int> aborts;
    NasCDTable table{};
    NasMirrorInfo request{};
    std::vector<Bytes> messages;
    Bytes image;
};

// ---- Host trees ----

inline void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), {});
}

// Bytes that differ from file to file and from position to position.
inline Bytes Pattern(std::size_t size, unsigned seed) {
    Bytes b(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& v : b) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        v = static_cast<std::uint8_t>(x);
    }
    return b;
}

// Sets a file's or folder's last-write time (seconds since 1970).
inline void SetTime(const std::string& path, std::int64_t seconds) {
    timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

// ---- The task ----

// A task of the container aimed at the sink, ready to run.
inline void PrepareTask(TaskRecord& task, MIRROR_CONTAINER& container, IsoImageSink& sink,
                        const std::string& label = "TESTDISC") {
    task.container = &container;
    task.server = &sink;
    task.volumeLabel = label;
    std::snprintf(task.request.imageName, sizeof task.request.imageName, "%s", label.c_str());
}

// ---- Reading images ----

inline std::uint32_t Le32(const Bytes& b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}
inline std::uint32_t Be32(const Bytes& b, std::size_t at) {
    return std::uint32_t{b[at + 3]} | std::uint32_t{b[at + 2]} << 8 |
           std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at]} << 24;
}
inline std::uint16_t Le16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
inline std::uint16_t Be16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at + 1] | b[at] << 8);
}
// A both-endian number: the little-endian half, "!" appended to the text when the halves differ.
inline std::string Both32(const Bytes& b, std::size_t at) {
    const std::uint32_t le = Le32(b, at), be = Be32(b, at + 4);
    return std::to_string(le) + (le == be ? "" : "!");
}

struct PathRecord {
    std::string id;
    std::uint32_t extent = 0;
    std::uint16_t parent = 0;
    bool operator==(const PathRecord&) const = default;
};

inline std::vector<PathRecord> ReadPathTable(const Bytes& img, std::size_t at, std::size_t size,
                                             bool big) {
    std::vector<PathRecord> out;
    std::size_t i = 0;
    while (i + 8 <= size) {
        const std::size_t n = img[at + i];
        if (n == 0 || i + 8 + n > size) break;
        PathRecord r;
        r.extent = big ? Be32(img, at + i + 2) : Le32(img, at + i + 2);
        r.parent = big ? Be16(img, at + i + 6) : Le16(img, at + i + 6);
        r.id.assign(reinterpret_cast<const char*>(&img[at + i + 8]), n);
        out.push_back(r);
        i += 8 + n + (n & 1);
    }
    return out;
}

// The image as text: the volume descriptor's layout fields, the path table (type L, checked
// against type M), and every directory with the offset, identifier, extent, length and kind of
// each record. Used for golden sector maps.
inline std::string SectorMap(const Bytes& img) {
    std::ostringstream m;
    if (img.size() < 18 * 2048) return "image too short: " + std::to_string(img.size());
    const std::size_t pvd = 16 * 2048;
    if (img[pvd] != 1 || std::memcmp(&img[pvd + 1], "CD001", 5) != 0)
        return "no primary descriptor";
    const std::size_t term = 17 * 2048;
    if (img[term] != 255 || std::memcmp(&img[term + 1], "CD001", 5) != 0) return "no terminator";
    for (std::size_t i = 0; i < 16 * 2048; ++i)
        if (img[i] != 0) return "system area not zero at " + std::to_string(i);
    m << "space " << Both32(img, pvd + 80) << " of " << img.size() / 2048 << " sent\n";
    const std::uint32_t ptSize = Le32(img, pvd + 132);
    const std::uint32_t lAt = Le32(img, pvd + 140), mAt = Be32(img, pvd + 148);
    m << "pathtable " << Both32(img, pvd + 132) << " L" << lAt << " M" << mAt << "\n";
    if (std::uint64_t{std::max(lAt, mAt)} * 2048 + ptSize > img.size())
        return m.str() + "path table outside";
    const auto l = ReadPathTable(img, lAt * 2048, ptSize, false);
    const auto mt = ReadPathTable(img, mAt * 2048, ptSize, true);
    if (l != mt) m << "M table differs from L table\n";
    const std::uint32_t rootExtent = Le32(img, pvd + 156 + 2);
    m << "root " << rootExtent << " " << Both32(img, pvd + 156 + 10) << "\n";
    for (std::size_t d = 0; d < l.size(); ++d) {
        const PathRecord& r = l[d];
        const std::string id = d == 0 ? "<root>" : r.id;
        m << "dir " << d + 1 << " " << id << " parent " << r.parent << " @" << r.extent;
        if (std::uint64_t{r.extent} * 2048 + 2048 > img.size()) {
            m << " outside\n";
            continue;
        }
        const std::size_t base = std::size_t{r.extent} * 2048;
        const std::uint32_t length = Le32(img, base + 10); // from its "." record
        m << " size " << length << "\n";
        std::size_t at = 0;
        while (at < length && base + at < img.size()) {
            const std::size_t n = img[base + at];
            if (n == 0) {
                at = (at / 2048 + 1) * 2048;
                continue;
            }
            if (at % 2048 + n > 2048) m << "  record crosses a sector at " << at << "\n";
            const std::size_t idLength = img[base + at + 32];
            std::string rid(reinterpret_cast<const char*>(&img[base + at + 33]), idLength);
            if (idLength == 1 && rid[0] == 0) rid = ".";
            if (idLength == 1 && rid[0] == 1) rid = "..";
            m << "  @" << at << " " << rid << " " << Le32(img, base + at + 2) << " "
              << Both32(img, base + at + 10) << ((img[base + at + 25] & 2) ? " d" : " f") << " len "
              << n << "\n";
            at += n;
        }
    }
    return m.str();
}

// ---- Processes ----

struct CommandResult {
    int status = -1;
    std::string output; // stdout and stderr
};

inline CommandResult Shell(const std::string& command) {
    CommandResult r;
    std::FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr) return r;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0)
        r.output.append(buffer, n);
    const int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

// The image, written to path, is read without complaint by every reader at hand.
inline void ExpectReadersAccept(const Bytes& image, const std::string& path) {
    WriteFile(path, image);
    const auto x = Shell("xorriso -abort_on FAILURE -indev " + Quote(path) + " -find /");
    EXPECT_EQ(x.status, 0) << x.output;
    EXPECT_EQ(x.output.find("SORRY"), std::string::npos) << x.output;
    EXPECT_EQ(x.output.find("WARNING"), std::string::npos) << x.output;
    const auto l = Shell("isoinfo -l -i " + Quote(path));
    EXPECT_EQ(l.status, 0) << l.output;
    const auto z = Shell("7z t " + Quote(path));
    EXPECT_NE(z.output.find("Everything is Ok"), std::string::npos) << z.output;
    if (Shell("command -v isovfy").status == 0) {
        const auto v = Shell("isovfy " + Quote(path));
        EXPECT_EQ(v.status, 0) << v.output;
        EXPECT_EQ(v.output.find("***"), std::string::npos) << v.output;
    }
}

} // namespace isotest
