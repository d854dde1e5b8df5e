// The node-kind icons: picture i stands for node kind i (index 0 is blank), so that a node's or
// row's kind is its image index. Our own drawings, made at build time.
#pragma once

namespace vcl {
class TImageList;
}

inline constexpr int kNodeKindIconCount = 60; // kinds 0 to 59

// Appends the icons to an empty image list, in kind order; returns the number added. An image list
// that already holds pictures gets nothing (the kinds would no longer match the indexes): -1.
int AddNodeKindIcons(vcl::TImageList* images);
