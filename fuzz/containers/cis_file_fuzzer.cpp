// ".CIS" container files from outside: any bytes are read as a container file. A file that loads
// must give a consistent tree (cis_check.h) that writes out and reads back to the same bytes.
#include "cis_check.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using cisfuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MIRROR_CONTAINER container;
    if (container.LoadFromBytes(data, size, "/fuzz/input.CIS") != 0) {
        Require(container.GetRoot() == nullptr);
        return 0;
    }
    cisfuzz::Check(container.GetRoot(), 0);
    std::vector<std::uint8_t> once, twice;
    Require(container.SaveToBytes("/fuzz/input.CIS", once));
    MIRROR_CONTAINER again;
    Require(again.LoadFromBytes(once.data(), once.size(), "/fuzz/input.CIS") == 0);
    Require(again.SaveToBytes("/fuzz/input.CIS", twice) && twice == once);
    return 0;
}
