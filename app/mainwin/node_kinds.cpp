#include "node_kinds.h"

bool KindRules::KindHasProperty(int kind) const {
    return kind == 2 || kind == 3 || (kind >= 5 && kind <= 24) || kind == 29 ||
           (kind >= 33 && kind <= 38) || (kind >= 41 && kind <= 44) || IsShellKind(kind);
}

bool KindRules::KindAllowsRename(int kind) const {
    return IsContainerEntry(kind);
}

bool KindRules::KindAllowsDelete(int kind) const {
    return kind == 2 || kind == 3 || (kind >= 5 && kind <= 13) || kind == 25 || kind == 28 ||
           kind == 31 || kind == 32 || kind == 57 || IsShellKind(kind);
}

bool KindRules::KindAllowsRefresh(int kind) const {
    return kind == 1 || (kind >= 14 && kind <= 24) || kind == 29 || kind == 33 || kind == 34 ||
           (kind >= 41 && kind <= 44) || kind == 52 || kind == 59;
}

bool KindRules::KindAllowsQuickSetup(int kind) const {
    return kind == 15 || kind == 16 || kind == 17 || kind == 53 || kind == 56;
}

bool KindRules::KindAllowsBrowse(int kind) const {
    return kind == 15 || (kind >= 18 && kind <= 24) || kind == 29 || (kind >= 41 && kind <= 44) ||
           kind == 53;
}
