// The CD-server password query (TForm_Password::QueryServerPassword): the passwords that the
// facade keeps for a server are tried first, and the user is asked only when they are refused.
// This header holds the steps that need no window; the asking loop is the dialog's.
#pragma once

#include <string>

class CDH_NET_CLASS;
class TCdhSvr;

// Which password of a CD server the query asks for.
enum CdhPasswordKind : int {
    kCdhAskAdministrator = 0,
    kCdhAskMirror = 1,
    kCdhAskShareFolder = 2, // the password of one group (share folder)
};

// The checks of the kept passwords that the server refused in one query; they decide what a
// typed password is checked as.
struct CdhRefusedMarks {
    bool administrator = false;
    bool mirror = false;
    bool share = false;
};

enum class CdhPasswordStep {
    Accepted,
    Ask,    // refused: ask the user (again)
    Failed, // a communication error or a bad argument: the query ends without a message
};

// Tries the kept passwords for kind; groupId is the argument of a share-folder check. Sets the
// marks of the refused checks.
CdhPasswordStep TryKeptServerPasswords(CDH_NET_CLASS& facade, TCdhSvr* server, int kind,
                                       int groupId, CdhRefusedMarks& marks);

// Checks a typed password (at most 15 bytes) by the marks that the kept passwords left.
CdhPasswordStep CheckTypedServerPassword(CDH_NET_CLASS& facade, TCdhSvr* server, int kind,
                                         int groupId, const CdhRefusedMarks& marks,
                                         const std::string& typed);
