// TCdhNet: the program's list of the CD servers found on the LAN. Records are never removed: a
// server that stops answering keeps its record with the seen flag clear. The array holds the same
// records sorted by server name (a-z upper-cased, then byte order).
//
// Replies are untrusted: a discovery takes in at most MaxDatagrams datagrams, a reply counts only
// when it comes from the address it announces, and the list holds at most MaxRecords servers;
// refused replies are counted and reported on stderr.
#pragma once

#include "linklist.h"
#include "tovexcdh_svr.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
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

    static constexpr std::uint32_t MaxRecords = 255;    // servers the list holds at most
    static constexpr std::uint32_t MaxDatagrams = 1024; // datagrams one discovery takes in

    // Broadcasts the query, merges the replies, rebuilds and sorts the array. The code (0 or a
    // CdhCode) is kept in LastError and returned.
    int Discover();
    // The steps of a discovery around its exchange: clearing the seen marks, and rebuilding and
    // sorting the array (which reports the replies refused on stderr).
    void BeginRound();
    void EndRound();
    // Takes one received datagram from sender (IPv4, network order): a valid reply of at least
    // kCdhAnnounceSize bytes that announces the sender's own address is merged. True when it was
    // merged (and is to be acknowledged); a valid reply not merged is counted in RefusedCount.
    bool TakeReply(const std::uint8_t* datagram, std::size_t size, std::uint32_t sender);
    // Merges one valid discovery reply (kCdhAnnounceSize bytes) into the list: the record of its
    // hardware address, made when new. Null when a new record cannot be allocated or the list is
    // full.
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
    std::uint32_t RefusedCount = 0; // valid replies refused in the last discovery
    TLinkList Records{32};          // owns the TCdhSvr records, in the order they were found
    std::vector<TCdhSvr*> Array;

private:
    int DiscoveryExchange(TTcpSession* session);
    std::unordered_map<std::uint64_t, TCdhSvr*> byMac_; // the records by hardware address
};

// The program's one CD-server list; none until the first discovery of the facade.
extern TCdhNet* CdhServerList;

// The name order of the list: a-z upper-cased, then byte order; true when a sorts before b.
bool CdhNameLess(const char* a, const char* b);
