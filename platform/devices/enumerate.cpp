#include "devices/enumerate.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform::devices {
namespace {

namespace fs = std::filesystem;

// The first line of a small sysfs file, blanks trimmed; "" when it cannot be read.
std::string ReadAttribute(const fs::path& path) {
    std::ifstream in(path);
    if (!in) return {};
    char buffer[256] = {};
    in.read(buffer, sizeof buffer - 1);
    std::string text(buffer, static_cast<std::size_t>(in.gcount()));
    text = text.substr(0, text.find('\n'));
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool ParseNumber(std::string_view text, std::uint32_t& out) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

// "H:C:T:L" into its four numbers.
bool ParseAddress(std::string_view text, OpticalDevice& d) {
    std::uint32_t* fields[4] = {&d.host, &d.channel, &d.target, &d.lun};
    for (int i = 0; i < 4; ++i) {
        const auto colon = text.find(':');
        const std::string_view part = i < 3 ? text.substr(0, colon) : text;
        if ((i < 3 && colon == std::string_view::npos) || !ParseNumber(part, *fields[i]))
            return false;
        if (i < 3) text.remove_prefix(colon + 1);
    }
    return true;
}

// True when a component of the device's path is an ATA port ("ata" and digits).
bool BehindAtaPort(const fs::path& devicePath) {
    for (const auto& part : devicePath) {
        const std::string s = part.string();
        std::uint32_t n = 0;
        if (s.size() > 3 && s.compare(0, 3, "ata") == 0 && ParseNumber(s.substr(3), n)) return true;
    }
    return false;
}

} // namespace

std::vector<OpticalDevice> EnumerateOptical(const std::string& sysfsRoot,
                                            const std::string& devRoot) {
    std::vector<OpticalDevice> out;
    std::error_code ec;
    const fs::path blockDir = fs::path(sysfsRoot) / "class" / "block";
    fs::directory_iterator it(blockDir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        OpticalDevice d;
        if (name.size() < 3 || name.compare(0, 2, "sr") != 0 ||
            !ParseNumber(std::string_view(name).substr(2), d.number))
            continue;
        std::error_code linkError;
        const fs::path device = fs::canonical(it->path() / "device", linkError);
        if (linkError || !ParseAddress(device.filename().string(), d)) continue;
        d.name = name;
        d.node = devRoot + "/" + name;
        std::uint32_t type = 5;
        if (ParseNumber(ReadAttribute(device / "type"), type) && type <= 0x1F)
            d.type = static_cast<std::uint8_t>(type);
        d.vendor = ReadAttribute(device / "vendor");
        d.model = ReadAttribute(device / "model");
        d.revision = ReadAttribute(device / "rev");
        d.ataAttached = BehindAtaPort(device);
        d.hostDriver = ReadAttribute(fs::path(sysfsRoot) / "class" / "scsi_host" /
                                     ("host" + std::to_string(d.host)) / "proc_name");
        out.push_back(std::move(d));
    }
    std::sort(out.begin(), out.end(),
              [](const OpticalDevice& a, const OpticalDevice& b) { return a.number < b.number; });
    return out;
}

} // namespace platform::devices
