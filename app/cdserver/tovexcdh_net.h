// TCdhNet: the program's list of the CD servers found on the LAN. Records are never removed: a
// server that stops answering keeps its record with the seen flag clear. The array holds the same
// records sorted by server name (a-z upper-cased, then byte order).
#pragma once

#include "linklist.h"
#include "tovexcdh_svr.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class TTcpSession;

class TCdhNet {
public:
    // Makes the record list, creates the socket manager when there is none (failure: last error
    // 9) and runs the first discovery.
    TCdhNet();
    // Frees every record and the socket manager.
    ~TCdhNet();
    TCdhNet(const TCdhNet&) = delete;
    TCdhNet& operator=(const TCdhNet&) = delete;

    // Broadcasts the query, merges the replies, rebuilds and sorts the array. The code (0 or a
    // CdhCode) is kept in LastError and returned.
    int Discover();
    // Merges one valid discovery reply (kCdhAnnounceSize bytes) into the list: the record of its
    // hardware address, made when new. Null when a new record cannot be allocated.
    TCdhSvr* MergeReply(const std::uint8_t* reply);
    // Copies the list's pointers into the array in list order; raises vcl::Exception
    // ("TCdhNet: BuildArray allocate error.") when the memory cannot be had.
    void BuildArray();
    // Orders the array by server name.
    void SortArray();
    TCdhSvr* FindByMac(const std::uint8_t* mac) const; // first 6 bytes compared

    std::uint32_t LastError = 0;
    std::uint32_t Count = 0;
    std::uint32_t SeenCount = 0;
    TLinkList Records{32}; // owns the TCdhSvr records, in the order they were found
    std::vector<TCdhSvr*> Array;

private:
    int DiscoveryExchange(TTcpSession* session);
};

// The program's one CD-server list; none until the first discovery of the facade.
extern TCdhNet* CdhServerList;

// The name order of the list: a-z upper-cased, then byte order; true when a sorts before b.
bool CdhNameLess(const char* a, const char* b);
