// The optical devices as sysfs lists them: a tree of block entries, device links whose last
// component is the "H:C:T:L" address, and attribute files (type, vendor, model, rev, the host's
// driver name), all made from the input, read by the enumeration. Only srN entries with a whole
// address may come out, in number order, with one-line attributes.
//
// Input: records [kind][u8 length][bytes]:
//   kind 0: a block entry of that name, its device linked to devices/<address> where the
//           address is the next kind-0 record's bytes (the entry is made when both are known);
//   kind 1-4: type, vendor, model or rev of the last device; kind 5: proc_name of host0-host3;
//   kind 6: an "ataN" directory in front of the next address.
#include "devices/enumerate.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

// A file name from input bytes: no slash, no NUL, not "." or "..", not empty.
std::string NameOf(const std::uint8_t* data, std::size_t size) {
    std::string name;
    for (std::size_t i = 0; i < size; ++i)
        name += (data[i] == '/' || data[i] == 0) ? '_' : static_cast<char>(data[i]);
    if (name.empty() || name == "." || name == "..") name += "_x";
    return name;
}

void Write(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // In memory when the machine has it: the tree is made anew for each input.
    static const fs::path root =
        (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
        ("brimlet-sysfs-fuzz-" + std::to_string(::getpid()));
    std::error_code ec;
    fs::remove_all(root, ec);
    fs::create_directories(root / "class" / "block", ec);
    fs::create_directories(root / "devices", ec);
    for (int h = 0; h < 4; ++h)
        fs::create_directories(root / "class" / "scsi_host" / ("host" + std::to_string(h)), ec);

    std::string pendingName;
    fs::path device;
    fs::path parent = root / "devices";
    for (std::size_t at = 0; at + 2 <= size;) {
        const std::uint8_t kind = data[at] % 7;
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        const std::uint8_t* bytes = data + at + 2;
        at += 2 + length;
        if (kind == 0) {
            if (pendingName.empty()) {
                pendingName = NameOf(bytes, length);
                continue;
            }
            device = parent / NameOf(bytes, length);
            fs::create_directories(device, ec);
            fs::create_symlink(device, root / "class" / "block" / pendingName / "device", ec);
            if (ec) {
                fs::create_directories(root / "class" / "block" / pendingName, ec);
                fs::create_symlink(device, root / "class" / "block" / pendingName / "device", ec);
            }
            pendingName.clear();
            parent = root / "devices";
        } else if (kind == 5) {
            const std::string host = "host" + std::to_string(length % 4);
            Write(root / "class" / "scsi_host" / host / "proc_name", bytes, length);
        } else if (kind == 6) {
            parent /= NameOf(bytes, length);
        } else if (!device.empty()) {
            static const char* const kAttributes[] = {"type", "vendor", "model", "rev"};
            Write(device / kAttributes[kind - 1], bytes, length);
        }
    }

    const auto devices = platform::devices::EnumerateOptical(root.string(), "/dev");
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const auto& d = devices[i];
        if (d.name.compare(0, 2, "sr") != 0 || d.node != "/dev/" + d.name || d.type > 0x1F)
            __builtin_trap();
        if (i > 0 && devices[i - 1].number > d.number) __builtin_trap();
        for (const std::string* text : {&d.vendor, &d.model, &d.revision, &d.hostDriver})
            if (text->find('\n') != std::string::npos || text->size() > 255) __builtin_trap();
    }
    fs::remove_all(root, ec);
    return 0;
}
