// The node-kind predicates: which commands apply to a tree node or list row of a kind. Kinds
// from 60 up to the last image index given to a shell icon are container files shown with a
// shell icon ("shell kinds"); the rules that need more than the kind (paste, record) are the
// window's (command_state.cpp).
#pragma once

struct KindRules {
    int LastShellIcon = 60; // the window's LastIconIndex

    bool IsShellKind(int kind) const { return kind >= 60 && kind <= LastShellIcon; }
    bool KindHasProperty(int kind) const;
    bool KindAllowsImport(int kind) const { return kind == 53; }
    bool KindAllowsExport(int kind) const { return kind == 53; }
    bool KindAllowsNewFolder(int kind) const { return kind >= 2 && kind <= 6; }
    bool KindAllowsRename(int kind) const;
    bool KindAllowsExit(int) const { return true; }
    bool KindAllowsDelete(int kind) const;
    bool KindAllowsRefresh(int kind) const;
    bool KindAllowsMirror(int kind) const { return kind >= 34 && kind <= 38; }
    bool KindAllowsBuild(int kind) const { return kind >= 2 && kind <= 4; }
    bool KindAllowsNewContainer(int kind) const { return kind == 2 || kind == 3; }
    bool KindAllowsLoadContainer(int kind) const { return kind == 2 || kind == 3; }
    bool KindAllowsSaveContainer(int kind) const { return kind == 2 || kind == 3; }
    bool KindAllowsSaveContainerAs(int kind) const { return kind == 2 || kind == 3; }
    bool KindAllowsValidate(int kind) const { return kind == 2 || kind == 3; }
    bool KindAllowsQuickSetup(int kind) const;
    bool KindAllowsShutdown(int kind) const { return kind == 15; }
    bool KindAllowsReset(int kind) const { return kind == 15; }
    bool KindAllowsBrowse(int kind) const;
    bool KindAllowsExplore(int kind) const { return (kind >= 29 && kind <= 32) || kind == 53; }
    // The kind part of Paste: My Container, its entries and the shell kinds.
    bool KindTakesPaste(int kind) const { return (kind >= 2 && kind <= 13) || IsShellKind(kind); }
    // Container entries: folders, files and the shell kinds.
    bool IsContainerEntry(int kind) const { return (kind >= 5 && kind <= 13) || IsShellKind(kind); }
};
