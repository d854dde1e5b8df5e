// Settings profiles for tests: a header, a plain body whose every section holds known texts, the
// summary lines those texts give, and password-protected archives made with libzip.
#pragma once

#include <zip.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace profiletest {

using Bytes = std::vector<std::uint8_t>;

inline constexpr char kPassword[] = "@QrTv@@pLmN@";
inline constexpr std::uint32_t kUtf8Magic = 0x18A94CF2;
inline constexpr std::uint32_t kCodePageMagic = 0x17A84BF1;

inline void PutU16(Bytes& b, std::size_t at, unsigned v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutText(Bytes& b, std::size_t at, const std::string& text) {
    std::memcpy(b.data() + at, text.data(), text.size());
}
inline void PutAddress(Bytes& b, std::size_t at, std::uint8_t a, std::uint8_t c, std::uint8_t d,
                       std::uint8_t e) {
    b[at] = a;
    b[at + 1] = c;
    b[at + 2] = d;
    b[at + 3] = e;
}
inline void Append(Bytes& out, const Bytes& part) {
    out.insert(out.end(), part.begin(), part.end());
}

inline Bytes Header(bool utf8, std::uint8_t flags) {
    Bytes h(256);
    for (std::size_t i = 0; i < h.size(); ++i)
        h[i] = static_cast<std::uint8_t>(i * 7 + 3);
    PutU32(h, 0, utf8 ? kUtf8Magic : kCodePageMagic);
    h[122] = flags;
    return h;
}

// A text with a character outside ASCII: UTF-8 bytes in a UTF-8 profile, the code-page byte
// (0xE9, "é" in the English code page) in the other.
inline std::string Accented(bool utf8, const std::string& before, const std::string& after) {
    return before + (utf8 ? "\xC3\xA9" : "\xE9") + after;
}

// The body for the flags, every section filled with the texts of the lines below.
inline Bytes Body(bool utf8, std::uint8_t flags) {
    Bytes body;
    if (flags & 0x01) Append(body, Bytes(1044, 0xAA));
    if (flags & 0x02) {
        Bytes n(10240, 0);
        if (utf8) {
            PutText(n, 23, Accented(true, "N", "v-NAS"));
            PutText(n, 55, "Rack 2");
            PutAddress(n, 99, 192, 168, 1, 10);
            PutAddress(n, 103, 255, 255, 255, 0);
            PutAddress(n, 107, 192, 168, 1, 1);
            PutAddress(n, 112, 10, 0, 0, 5);
            PutAddress(n, 116, 255, 0, 0, 0);
            PutAddress(n, 120, 10, 0, 0, 1);
            PutText(n, 155, "admin");
        } else {
            PutText(n, 32, Accented(false, "N", "v-NAS"));
            PutText(n, 64, "Rack 2");
            PutText(n, 108, "WORKGROUP");
            PutText(n, 172, "admin");
            PutAddress(n, 409, 192, 168, 1, 10);
            PutAddress(n, 413, 255, 255, 255, 0);
            PutAddress(n, 417, 192, 168, 1, 1);
            PutAddress(n, 422, 10, 0, 0, 5);
            PutAddress(n, 426, 255, 0, 0, 0);
            PutAddress(n, 430, 10, 0, 0, 1);
        }
        Append(body, n);
    }
    if (flags & 0x40) Append(body, Bytes(10240, 0xBB));
    if (flags & 0x20) {
        Bytes head(32, 0);
        PutU32(head, 4, 2);
        Append(body, head);
        Bytes tape(256, 0);
        PutU32(tape, 0, 5);
        PutText(tape, 16, "Weekly");
        Append(body, tape);
        Append(body, Bytes(8, 0xDD)); // 5 bytes rounded up to 8
        Bytes tape2(256, 0);
        PutText(tape2, 16, Accented(utf8, "Daily-", ""));
        Append(body, tape2);
    }
    {
        Bytes head(64, 0);
        PutText(head, 6, "CORP");
        PutU32(head, 22, 4);
        Append(body, head);
        const std::size_t size = utf8 ? 2820 : 1536;
        Bytes user(size, 0);
        user[0] = 1 << 1; // kind 1: user or group
        PutText(user, 93, Accented(utf8, "Ren", "e"));
        Append(body, user);
        Bytes nfs(size, 0);
        nfs[0] = 4 << 1;
        PutAddress(nfs, 93, 10, 1, 2, 3);
        Append(body, nfs);
        Bytes trusted(size, 0);
        trusted[0] = 5 << 1 | 1;
        PutText(trusted, 93, "bob");
        PutText(trusted, 125, "CORP");
        Append(body, trusted);
        Bytes other(size, 0x11);
        other[0] = 9 << 1; // not shown
        Append(body, other);
    }
    if (flags & 0x18) {
        Bytes count(4, 0);
        PutU32(count, 0, 2);
        Append(body, count);
        Append(body, Bytes(2 * 516, 0xCC));
    }
    if (flags & 0x08) {
        Bytes head(8, 0);
        PutU16(head, 6, 1);
        Append(body, head);
        Bytes point(516, 0);
        PutU16(point, 2, 2);
        PutText(point, 4, "/vol1");
        Append(body, point);
        Bytes path(540, 0);
        PutText(path, 8, "/vol1/a");
        PutU16(path, 522, 5);
        Append(body, path);
        Append(body, Bytes(25 + 3, 0xEE)); // 5 entries and 3 bytes of padding
        Bytes path2(540, 0);
        PutText(path2, 8, "/vol1/b");
        PutU16(path2, 522, 4);
        Append(body, path2);
        Append(body, Bytes(20, 0xEE)); // 4 entries, no padding
    }
    if (flags & 0x10) {
        Bytes head(8, 0);
        PutU16(head, 6, 1);
        Append(body, head);
        Bytes group(516, 0);
        PutU16(group, 2, 2);
        Append(body, group);
        Bytes share(632, 0);
        PutU16(share, 6, 1);
        PutText(share, 28, "public");
        PutText(share, 60, "Open to all");
        Append(body, share);
        Append(body, Bytes(5 + 3, 0xEE));
        Bytes share2(632, 0);
        PutText(share2, 28, "home");
        Append(body, share2);
    }
    return body;
}

inline Bytes Profile(bool utf8, std::uint8_t flags, const Bytes& archive) {
    Bytes out = Header(utf8, flags);
    Append(out, archive);
    return out;
}

// Summary lines of Body(utf8, flags).
struct Lines {
    std::vector<std::string> network, backup, users, security;
};
inline Lines ExpectedLines(bool utf8, std::uint8_t flags) {
    Lines l;
    const std::string e = "\xC3\xA9"; // shown as UTF-8 in both encodings
    if (flags & 0x02) {
        l.network = {"Server Name     : N" + e + "v-NAS", "Server Comment  : Rack 2"};
        if (!utf8) l.network.push_back("Domain Name     : WORKGROUP");
        l.network.insert(l.network.end(),
                         {"Domain User Name: admin", "-------------- IP Setting --------------",
                          "   IP                       Mask                 Gateway",
                          "192.168.1.10      255.255.255.0     192.168.1.1       ",
                          "10.0.0.5          255.0.0.0         10.0.0.1          ",
                          "0.0.0.0           0.0.0.0           0.0.0.0           "});
    }
    if (flags & 0x20)
        l.backup = {"============= Tape Entry ===============", "Tapes Count : 2",
                    " ----- Volume Label ----- ", "1.  Weekly", "2.  Daily-" + e};
    l.users = {"Domain Name : CORP",
               "User Count  : 4",
               "===================================",
               "1. User/Group Name: Ren" + e + "e",
               "2. NFS User: 10.1.2.3",
               "3. Trust Domain User: CORP\\bob"};
    if (flags & 0x08)
        l.security = {"================ACL================", "Backup Point Count: 1",
                      "Backup Path  : /vol1", "ACL Path 1: /vol1/a", "ACL Path 2: /vol1/b"};
    if (flags & 0x10)
        l.security.insert(l.security.end(),
                          {"===============SHARES===============", "Share Name   : public",
                           "Share Comment: Open to all", "Share Name   : home",
                           "Share Comment:  [No Comment] "});
    return l;
}

// A zip archive of the entries (name, content), each encrypted with the password when it is not
// empty (traditional zip encryption), written to path.
inline void WriteArchive(const std::string& path,
                         const std::vector<std::pair<std::string, Bytes>>& entries,
                         const std::string& password, bool store = false) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr) << "zip_open " << error;
    for (const auto& [name, content] : entries) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        ASSERT_NE(source, nullptr);
        const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
        ASSERT_GE(index, 0) << zip_strerror(archive);
        if (store) zip_set_file_compression(archive, index, ZIP_CM_STORE, 0);
        if (!password.empty()) {
            ASSERT_EQ(zip_file_set_encryption(archive, index, ZIP_EM_TRAD_PKWARE, password.c_str()),
                      0)
                << zip_strerror(archive);
        }
    }
    ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);
}

inline Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}
inline void WriteFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
}

// A complete profile file: header, then an archive of the body under the program's password.
inline Bytes MakeProfileFile(const std::string& workDir, bool utf8, std::uint8_t flags) {
    const std::string zipPath = workDir + "/body.zip";
    WriteArchive(zipPath, {{"config.bin", Body(utf8, flags)}}, kPassword);
    Bytes archive = ReadFile(zipPath);
    std::remove(zipPath.c_str());
    return Profile(utf8, flags, archive);
}

} // namespace profiletest
