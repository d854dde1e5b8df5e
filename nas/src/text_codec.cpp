#include "text_codec.h"

#include "netconfig.h"

#include <cerrno>
#include <cstring>
#include <iconv.h>
#include <strings.h>

namespace nas {

namespace {

// One conversion descriptor for the duration of a call.
class Converter {
public:
    Converter(const char* from, const char* to) : cd_(::iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // Converts from *in on; returns 0 when all input was taken, else the errno that stopped it.
    int convert(const char*& in, size_t& inLeft, std::string& out) {
        while (inLeft > 0) {
            char chunk[256];
            char* outPtr = chunk;
            size_t outLeft = sizeof chunk;
            char* inPtr = const_cast<char*>(in);
            size_t result = ::iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
            int error = result == static_cast<size_t>(-1) ? errno : 0;
            in = inPtr;
            out.append(chunk, outPtr);
            if (error != 0 && error != E2BIG) return error;
        }
        return 0;
    }

private:
    iconv_t cd_;
};

bool IsUtf8(const char* encoding) {
    return strcasecmp(encoding, "UTF-8") == 0 || strcasecmp(encoding, "UTF8") == 0;
}

} // namespace

std::optional<std::string> ConvertText(std::string_view text, const char* from, const char* to,
                                       bool lossy) {
    Converter converter(from, to);
    if (!converter.valid()) return std::nullopt;
    std::string out;
    const char* in = text.data();
    size_t inLeft = text.size();
    while (inLeft > 0) {
        int error = converter.convert(in, inLeft, out);
        if (error == 0) break;
        if (!lossy) return std::nullopt;
        // Replace the sequence that could not be converted and go on after it.
        out += '?';
        ++in;
        --inLeft;
        if (IsUtf8(from)) {
            while (inLeft > 0 && (static_cast<uint8_t>(*in) & 0xC0) == 0x80) {
                ++in;
                --inLeft;
            }
        }
    }
    return out;
}

std::optional<std::string> AnsiToUtf8(std::string_view text, bool lossy) {
    return ConvertText(text, CurrentNetConfig()->ansiCodePage.c_str(), kUtf8, lossy);
}

std::optional<std::string> Utf8ToAnsi(std::string_view text, bool lossy) {
    return ConvertText(text, kUtf8, CurrentNetConfig()->ansiCodePage.c_str(), lossy);
}

std::string_view CutAtCharBoundary(std::string_view text, const char* encoding, size_t width) {
    if (text.size() > width) text = text.substr(0, width);
    Converter converter(encoding, "UTF-32LE");
    if (!converter.valid()) return {};
    const char* in = text.data();
    size_t inLeft = text.size();
    std::string scratch;
    // An incomplete or invalid sequence stops the conversion where it starts: cut there.
    converter.convert(in, inLeft, scratch);
    return text.substr(0, static_cast<size_t>(in - text.data()));
}

std::string_view FieldText(const void* field, size_t width) {
    const char* bytes = static_cast<const char*>(field);
    const void* zero = std::memchr(bytes, 0, width);
    return std::string_view(bytes, zero ? static_cast<const char*>(zero) - bytes : width);
}

void PutFieldText(uint8_t* field, size_t width, std::string_view text, const char* encoding) {
    std::memset(field, 0, width);
    std::string_view cut = CutAtCharBoundary(text, encoding, width);
    std::memcpy(field, cut.data(), cut.size());
}

} // namespace nas
