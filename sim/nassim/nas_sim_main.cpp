// nas-sim: runs simulated NAS units on loopback addresses until SIGINT or SIGTERM.
// Run it inside a private network namespace (scripts/netns-run): it binds only 127.0.0.0/8.
#include "nassim.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <pthread.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kMaxUnits = 100;

const char kUsage[] =
    "usage: nas-sim [options]\n"
    "  --count N            number of units (1..100, default 1)\n"
    "  --first-address A    address of the first unit, the next ones follow (default 127.0.0.2)\n"
    "  --tcp-port P         TCP port of every unit (default 2000)\n"
    "  --udp-port P         UDP discovery port of every unit (default 1999)\n"
    "  --name NAME          unit names: NAME1, NAME2, ... (default SIMNAS)\n"
    "  --workgroup NAME     workgroup of every unit (default WORKGROUP)\n"
    "  --encoding-kind K    text-encoding kind the units report (default 1)\n"
    "  --extended           send 348-byte replies carrying an extended name\n"
    "  --fault NAME         none, refuse, stall, silence, close, fragment, wrong-signature,\n"
    "                       wrong-version, short, foreign-subnet, tcp-silence (default none)\n"
    "  --fragment-pause MS  pause between the bytes of the fragment fault (default 1); with\n"
    "                       15000 a unit trickles one byte every 15 s\n"
    "  --image-folder NAME  an image folder of every unit (repeatable)\n"
    "  --image FOLDER/NAME[:SIZE]\n"
    "                       an image every unit holds (repeatable); SIZE in bytes, with K, M\n"
    "                       or G for KiB, MiB, GiB; without it, the size of STORE/FOLDER/NAME\n"
    "                       when --store names a folder that holds it\n"
    "  --store DIR          write each image the units receive (mirror, build, upload) to\n"
    "                       DIR/FOLDER/NAME; without it the units only count and hash them\n"
    "  --cd-drive NAME      a CD writer of every unit, numbered from 0 (repeatable)\n"
    "  --admin-password PW  administrator password (default: none, not checked)\n"
    "  --config-password PW password of configuration reads and writes (default: none)\n"
    "  --user NAME:PW       an account of every unit (repeatable; none: any account)\n"
    "  --profile FILE       the configuration file the units hand out when it is read\n"
    "  --settings FILE      more options from FILE: one option and its value a line, the\n"
    "                       leading \"--\" left out; \"#\" starts a comment\n"
    "Every address must lie in 127.0.0.0/8.\n";

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "nas-sim: %s\n", message.c_str());
    std::exit(2);
}

long Number(const char* text, long low, long high, const char* what) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < low || v > high)
        Fail(std::string("bad ") + what + " '" + text + "' (" + std::to_string(low) + ".." +
             std::to_string(high) + ")");
    return v;
}

nassim::Fault ParseFault(const std::string& text) {
    for (int i = 0; i <= static_cast<int>(nassim::Fault::TcpSilence); ++i) {
        const auto f = static_cast<nassim::Fault>(i);
        if (text == nassim::FaultName(f)) return f;
    }
    Fail("unknown fault '" + text + "'");
}

std::string HardwareText(std::uint32_t a) {
    char text[32];
    std::snprintf(text, sizeof text, "02:53:%02X:%02X:%02X:%02X", a >> 24, a >> 16 & 0xFF,
                  a >> 8 & 0xFF, a & 0xFF);
    return text;
}

// Everything the options choose.
struct Options {
    long count = 1;
    std::uint32_t first = nassim::Ipv4(127, 0, 0, 2);
    long tcpPort = 2000, udpPort = 1999, encodingKind = 1;
    std::string name = "SIMNAS", workgroup = "WORKGROUP";
    bool extended = false;
    nassim::Fault fault = nassim::Fault::None;
    long fragmentPauseMs = 1;
    nassim::UnitState state;
    std::string store;
    std::vector<bool> sized; // per image of state: its size was given
};

// "4096", "700M", "4G": bytes, at most what the image list can show (4 GiB - 1 sector).
std::uint64_t ParseSize(const std::string& text) {
    std::uint64_t scale = 1;
    std::string digits = text;
    if (!digits.empty()) {
        switch (std::toupper(static_cast<unsigned char>(digits.back()))) {
        case 'K':
            scale = 1ull << 10;
            break;
        case 'M':
            scale = 1ull << 20;
            break;
        case 'G':
            scale = 1ull << 30;
            break;
        default:
            break;
        }
        if (scale != 1) digits.pop_back();
    }
    const long long limit = static_cast<long long>((0xFFFFFFFFull * 2048) / scale);
    return static_cast<std::uint64_t>(Number(digits.c_str(), 0, limit, "image size")) * scale;
}

std::uint32_t Sectors(std::uint64_t bytes) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>((bytes + 2047) / 2048, 0xFFFFFFFFu));
}

std::vector<std::string> ReadSettings(const std::string& path) {
    std::ifstream in(path);
    if (!in) Fail("can't read settings file '" + path + "'");
    std::vector<std::string> args;
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string option, value;
        if (!(words >> option)) continue;
        args.push_back("--" + option);
        std::getline(words >> std::ws, value);
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
            value.pop_back();
        if (!value.empty()) args.push_back(value);
    }
    return args;
}

nassim::Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail("can't read profile '" + path + "'");
    return nassim::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Parse(const std::vector<std::string>& args, Options& o, int depth) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= args.size()) Fail("option " + arg + " needs a value");
            return args[++i].c_str();
        };
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--count") {
            o.count = Number(value(), 1, kMaxUnits, "count");
        } else if (arg == "--first-address") {
            const char* text = value();
            in_addr a{};
            if (::inet_pton(AF_INET, text, &a) != 1)
                Fail(std::string("bad address '") + text + "'");
            o.first = ntohl(a.s_addr);
        } else if (arg == "--tcp-port") {
            o.tcpPort = Number(value(), 1, 65535, "TCP port");
        } else if (arg == "--udp-port") {
            o.udpPort = Number(value(), 1, 65535, "UDP port");
        } else if (arg == "--name") {
            o.name = value();
        } else if (arg == "--workgroup") {
            o.workgroup = value();
        } else if (arg == "--encoding-kind") {
            o.encodingKind = Number(value(), 0, 2, "encoding kind");
        } else if (arg == "--extended") {
            o.extended = true;
        } else if (arg == "--fault") {
            o.fault = ParseFault(value());
        } else if (arg == "--fragment-pause") {
            o.fragmentPauseMs = Number(value(), 0, 3600000, "fragment pause");
        } else if (arg == "--image-folder") {
            o.state.imageFolders.push_back(value());
        } else if (arg == "--image") {
            std::string path = value();
            nassim::ImageRecord image;
            const std::size_t colon = path.rfind(':');
            if (colon != std::string::npos) {
                image.size = Sectors(ParseSize(path.substr(colon + 1)));
                path.resize(colon);
            }
            const std::size_t slash = path.find('/');
            if (slash == std::string::npos || slash == 0 || slash + 1 == path.size())
                Fail("bad image '" + path + "': FOLDER/NAME[:SIZE] expected");
            image.id = o.state.nextImageId++;
            image.name = path.substr(slash + 1);
            image.path = path;
            o.state.images.push_back(image);
            o.sized.push_back(colon != std::string::npos);
        } else if (arg == "--store") {
            o.store = value();
        } else if (arg == "--cd-drive") {
            nassim::CdDriveRecord drive;
            drive.typeMask = 0x7;
            drive.name = value();
            drive.tail[0] = static_cast<std::uint8_t>(o.state.cdDrives.size());
            o.state.cdDrives.push_back(drive);
        } else if (arg == "--admin-password") {
            o.state.adminPassword = value();
        } else if (arg == "--config-password") {
            o.state.configPassword = value();
        } else if (arg == "--user") {
            const std::string account = value();
            const std::size_t colon = account.find(':');
            if (colon == std::string::npos || colon == 0) Fail("bad user '" + account + "'");
            o.state.users[account.substr(0, colon)] = account.substr(colon + 1);
        } else if (arg == "--profile") {
            o.state.configFile = ReadFile(value());
        } else if (arg == "--settings") {
            if (depth > 4) Fail("settings files nested too deeply");
            Parse(ReadSettings(value()), o, depth + 1);
        } else {
            Fail("unknown option '" + arg + "'\n" + kUsage);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    Parse(std::vector<std::string>(argv + 1, argv + argc), o, 0);
    // A write beyond the file size limit fails (EFBIG) instead of ending the program: the unit
    // answers it as a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    const long count = o.count;
    const std::uint32_t first = o.first;
    if (!o.store.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(o.store, ec);
        if (!std::filesystem::is_directory(o.store)) Fail("can't use '" + o.store + "' as store");
        // Images listed without a size take the size of their file in the store.
        for (std::size_t i = 0; i < o.state.images.size(); ++i) {
            const auto size =
                std::filesystem::file_size(o.store + "/" + o.state.images[i].path, ec);
            if (!o.sized[i] && !ec) o.state.images[i].size = Sectors(size);
        }
    }

    // Nothing is bound outside loopback: every unit address, and the addresses the foreign-subnet
    // fault answers from, stay inside 127.0.0.0/8.
    const std::uint32_t last = first + static_cast<std::uint32_t>(count - 1);
    if (!nassim::IsLoopback(first) || !nassim::IsLoopback(last) || last < first)
        Fail("refusing to bind " + nassim::AddressText(first) +
             (count > 1 ? " .. " + nassim::AddressText(last) : std::string()) +
             ": only addresses in 127.0.0.0/8 are allowed");

    // Block the stop signals before any thread starts, then wait for them here.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    std::vector<std::unique_ptr<nassim::Unit>> units;
    try {
        for (long i = 0; i < count; ++i) {
            nassim::UnitConfig c;
            c.address = first + static_cast<std::uint32_t>(i);
            c.tcpPort = static_cast<std::uint16_t>(o.tcpPort);
            c.udpPort = static_cast<std::uint16_t>(o.udpPort);
            c.name = o.name + std::to_string(i + 1);
            c.workgroup = o.workgroup;
            c.comment = "simulated unit";
            c.lan[0] = {c.address, nassim::Ipv4(255, 0, 0, 0), 0};
            const std::string hw = HardwareText(c.address);
            std::memcpy(c.hardwareAddress.data(), hw.data(), hw.size());
            c.firmwareVersion = {1, 0, 0, 0};
            c.firmwareBuild = "sim";
            c.status = 1;
            c.capabilities = 1;
            c.encodingKind = static_cast<std::uint32_t>(o.encodingKind);
            c.extendedReply = o.extended;
            c.extendedName = c.name + " (simulated)";
            c.fault = o.fault;
            c.fragmentPause = std::chrono::milliseconds(o.fragmentPauseMs);
            c.state = o.state;
            c.logProblems = true;
            // A unit that runs for hours keeps no data and no per-block records in memory.
            c.keepSessionData = false;
            c.recordDataBlocks = false;
            c.hashSessionData = true;
            c.storeFolder = o.store;
            c.logImages = true;
            units.push_back(std::make_unique<nassim::Unit>(c));
            const nassim::Unit& u = *units.back();
            std::printf("unit %ld: %s at %s tcp %u udp %u hw %s fault %s, %zu image folders, "
                        "%zu images, %zu CD drives\n",
                        i + 1, c.name.c_str(), nassim::AddressText(u.address()).c_str(),
                        u.tcpPort(), u.udpPort(), hw.c_str(), nassim::FaultName(o.fault),
                        o.state.imageFolders.size(), o.state.images.size(),
                        o.state.cdDrives.size());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "nas-sim: %s\n", e.what());
        return 2; // the units made so far stop and join on the way out
    }
    std::fflush(stdout);
    std::fprintf(stderr, "nas-sim: running; SIGINT or SIGTERM stops\n");
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    std::fprintf(stderr, "nas-sim: stopping on signal %d\n", signal_number);
    return 0;
}
