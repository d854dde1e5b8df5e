// The list view for the NAS node kinds: the servers of a branch, the branches of "NAS Network",
// the folders of a server and the CD images of one image folder.
#pragma once

#include "nasapi.h"

#include <cstdint>
#include <string>
#include <vector>

class CNasServer;
class CNASSvrNet;
class TForm_Central;
namespace vcl {
class TListView;
class TTreeNode;
} // namespace vcl

// Bits of the options of ListServersOfNode.
enum ServerListOptions : int {
    kListSkipUnanswered = 2,  // leave out kind-55 children
    kListSkipPendingTasks = 4 // leave out units with pending server tasks
};

// One server row per child of node (the caller empties the list first), then sorted; the units
// of the nodes are those of units.
void ListServersOfNode(const CNASSvrNet& units, vcl::TListView* list, vcl::TTreeNode* node,
                       int options);
// One server row for a node: the unit's texts and handle, or "----------" in every column for a
// node without a listed server. False (list emptied, message shown) when no row could be made.
bool AddServerListRow(const CNASSvrNet& units, vcl::TListView* list, vcl::TTreeNode* node);
// One server row appended to the main list, then sorted.
void AppendServerListRow(TForm_Central& form, vcl::TTreeNode* node);
// One row per child of node: its data, text and image.
void ListChildNodes(TForm_Central& form, vcl::TTreeNode* node);
// The branches of "NAS Network", each with its number of servers.
void ListNasNetwork(TForm_Central& form);
// The CD images of an image folder node (of "[ Other ]": the images of no folder), from the
// server's cached image list unless bypassCache. A unit under "Remote Servers" whose list can't be
// read turns into an unanswered node.
void ListCdImages(TForm_Central& form, vcl::TTreeNode* folderNode, bool bypassCache);

// An image row for each image that the folder node named folderText lists, in record order; the
// rows point at the records. False (list emptied, message shown) when a row could not be made.
bool AddImageRows(vcl::TListView* list, std::vector<NasImgInfo>& images,
                  const std::string& folderText, const CNasServer& server);

// The texts of an image row: name, path, size, state and file system, valid UTF-8 bounded by
// their fields (encoding kinds 1 and 2 are UTF-8, others the ANSI code page).
struct ImageRowTexts {
    std::string Name, Path, Size, State, FileSystem;
};
ImageRowTexts GetImageRowTexts(const NasImgInfo& image, int encodingKind);
// Whether an image of that path (folder name, "/", image name) belongs in the list of the folder
// node named folderText; other is true for "[ Other ]", whose list holds the images whose folder
// is none of the server's (and those without a folder).
bool ImageInFolder(const std::string& path, const std::string& folderText, bool other,
                   const CNasServer& server);
// The size text of an image's 32-bit size, counted in 2048-byte blocks: mode 0 picks the unit by
// size, 2 kilobytes, 3 megabytes, 4 gigabytes, any other the count and " BYTE(S)".
std::string FormatSizeText(std::uint32_t count, int mode);
