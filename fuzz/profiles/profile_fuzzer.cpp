// Settings profiles after extraction: the header and the plain body, parsed into the summaries.
#include "profile_sections.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ProfileSummary summary;
    std::string error;
    ParseProfileData(data, size, summary, error);
    return 0;
}
