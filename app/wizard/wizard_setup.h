// What the server quick setup keeps beside the wizard form: its own copy of the server being set
// up, and the byte limits of the texts it sends.
#pragma once

#include "nasserver.h"

#include <cstddef>
#include <cstring>

// The wizard's own copy of the server being set up. The pages and the finisher read this copy,
// never an object of the main window's lists, which a refresh may free.
struct WIZARD_REFRESHINFO {
    CNasServer Server;
    // True once a server has been copied in for the current setup.
    bool Valid = false;
    // A new copy; a domain account given for the previous one is dropped.
    void Take(const CNasServer& server) {
        Server.Assign(server);
        Server.DomainAccountGiven = 0;
        std::memset(Server.DomainUserName, 0, sizeof Server.DomainUserName);
        std::memset(Server.DomainPassword, 0, sizeof Server.DomainPassword);
        Valid = true;
    }
    void Forget() {
        Server.Init();
        Valid = false;
    }
};
extern WIZARD_REFRESHINFO WizardRefreshInfo;

// Largest texts the set-server record holds, in bytes (each field keeps its terminator).
inline constexpr std::size_t kSetupNameBytes = 15;
inline constexpr std::size_t kSetupWorkgroupBytes = 15;
inline constexpr std::size_t kSetupDomainBytes = 63;
inline constexpr std::size_t kSetupCommentBytes = 31;
inline constexpr std::size_t kSetupPasswordBytes = 15;
// The eleven characters a server or workgroup name may not hold.
inline constexpr char kNameForbiddenChars[] = "\"\\/[]:=,$#;";
