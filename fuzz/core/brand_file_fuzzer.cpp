// Reads arbitrary bytes as a branding data file, in the language the first byte picks, and checks
// that every value stays within its capacity.
#include "brandinfo.h"
#include "msgbox.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

std::size_t Characters(const std::string& text) {
    std::size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

void Check(const std::string& value, std::size_t capacity) {
    if (Characters(value) > capacity) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    LanguageIndex = data[0] % 3;
    BrandInfo = TBrandInfo{};
    std::istringstream in(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    ReadBrandRecords(in);
    Check(BrandInfo.TEL, TBrandInfo::TelCapacity);
    Check(BrandInfo.FAX, TBrandInfo::FaxCapacity);
    Check(BrandInfo.EMAIL, TBrandInfo::EmailCapacity);
    Check(BrandInfo.WEB, TBrandInfo::WebCapacity);
    Check(BrandInfo.COMPANY, TBrandInfo::CompanyCapacity);
    Check(BrandInfo.LANG, TBrandInfo::LangCapacity);
    Check(BrandInfo.APPNAME, TBrandInfo::AppNameCapacity);
    return 0;
}
