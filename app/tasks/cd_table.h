// The track table a mirror session announces, and the request's disc-kind bits and file-system
// word, from a disc description.
#pragma once

#include "disc_info.h"
#include "nasapi.h"

#include <cstdint>

void BuildCdTable(const DiscInfo& disc, NasCDTable& table);
// Disc-kind bits of the mirror request by disc kind; 0 for a kind a unit does not take.
std::uint32_t SetMirrorDiscFlags(std::uint8_t discKind);
// File-system word of the mirror request by file-system code.
std::uint32_t SetMirrorFsFlag(std::uint8_t fileSystemCode);
