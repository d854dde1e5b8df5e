// The log beside a container file, and what an import reports of the entries it left out: the
// whole list appended to that log, and the text of the one box that shows the count and the
// first of them.
#pragma once

#include "container.h"

#include <cstddef>
#include <string>
#include <string_view>

// The log's path: the container file's path with a trailing ".cis" (any case) replaced by ".log",
// else with ".log" appended.
std::string ContainerLogPath(const std::string& containerPath);

// The sentence that says why an entry was left out, in the message language; with the entry's
// host path, a name too long for the image is named in it.
std::string ImportReasonText(CisImportReason reason, std::string_view path = {});

// Appends the import of importedPath to the log beside the container: a time stamp, the path,
// the count and one line per refused entry (host path, a tab, the reason). The log's path, or an
// empty text when nothing was refused, there is no root or the log cannot be written.
std::string WriteImportLog(const MIRROR_CONTAINER& container, std::string_view importedPath,
                           const CisImportResult& result);

// The text of the box after an import: the count, the first kImportBoxNames refused entries
// (host path and reason), how many more there are, and where the whole list is (when logPath is
// not empty). Empty when nothing was refused.
inline constexpr std::size_t kImportBoxNames = 10;
std::string ImportRefusalBoxText(const CisImportResult& result, const std::string& logPath);
