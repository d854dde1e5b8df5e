// What an import of host files and folders into a container left out, entry by entry, and why.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Why a host entry was not added to the container.
enum class CisImportReason {
    NameEdge,            // the name begins or ends with a blank or a dot (dotfiles among them)
    NameCharacter,       // an empty name, one of \ / : * ? " < > |, a control character, not UTF-8
    NameTooLong,         // more than 221 characters
    NameTooLongForImage, // more bytes than an image's directory record holds (container_names.h)
    FolderVersion,       // a folder name holding ';', which readers of an image take as a version
    PathTooLong,         // its path inside the container would pass 255 characters
    TooDeep,             // it would lie more than 64 levels below the root
    NameTaken, // the folder holds another entry of that name (letter case aside), or one of
               // the other kind (file or folder)
    NotFound,
    NotRegular, // a device, a pipe, a socket, a broken link or a link to a folder
    Unreadable, // the program may not read the file or list the folder
    SourceTooLong,
    NoMemory,
};

struct CisRefusedEntry {
    std::string path; // host path
    CisImportReason reason;
};

// The outcome of one import: every entry refused, in the order met (a refused folder stands for
// everything in it), and whether the stop word ended it early.
struct CisImportResult {
    std::vector<CisRefusedEntry> refused;
    bool stopped = false;

    std::size_t RefusedCount() const { return refused.size(); }
};
