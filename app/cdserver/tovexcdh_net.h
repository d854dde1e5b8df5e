// TCdhNet: the program's list of the CD servers found on the LAN. A server that does not answer a
// discovery keeps its record with the seen flag clear; one that misses a second discovery in a
// row leaves the list. The array holds the listed records sorted by server name (a-z upper-cased,
// then byte order).
//
// Replies are untrusted, so everything they can grow is bounded:
// - a reply counts only when it is a whole valid frame from the address it announces, received on
//   the discovery's own socket within its window; other datagrams cost nothing and count nothing;
// - a server is taken (and acknowledged) once per query sent: its repeats cost nothing;
// - a discovery takes at most MaxReplies replies, and the list holds at most MaxRecords servers;
//   when it is full, a new server takes the place of one that missed the discovery before and
//   has not answered this one yet, so records that stopped answering never keep a server out for
//   good, while a flood of new servers cannot push out one that answers every discovery.
// A record that leaves the list is not freed at once: it stays valid (its seen flag clear) until
// the next discovery begins, so that a caller still holding it after this discovery can ask
// whether it was seen and drop it. Refused replies are counted and reported on stderr.
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

    static constexpr std::uint32_t MaxRecords = 255;  // servers the list holds at most
    static constexpr std::uint32_t MaxReplies = 1024; // replies one discovery takes in
    // Discoveries in a row a record may miss before it leaves the list.
    static constexpr std::uint32_t MaxMissed = 2;

    // Broadcasts the query, merges the replies, rebuilds and sorts the array. The code (0 or a
    // CdhCode) is kept in LastError and returned.
    int Discover();
    // The steps of a discovery around its exchange: freeing the records that left the list in
    // the discovery before, clearing the seen marks and counting the first query; then taking
    // out the records that missed MaxMissed discoveries, rebuilding and sorting the array (which
    // reports the replies refused on stderr).
    void BeginRound();
    void EndRound();
    // Counts a repeat of the query: every server may answer it once more.
    void NextQuery();
    // Takes one received datagram from sender (IPv4, network order): a valid reply of at least
    // kCdhAnnounceSize bytes that announces the sender's own address is merged, once per query
    // and server. True when it was merged (and is to be acknowledged). A valid reply refused
    // (wrong sender, list full, round bound reached) is counted in RefusedCount; junk and
    // repeats are dropped without a count.
    bool TakeReply(const std::uint8_t* datagram, std::size_t size, std::uint32_t sender);
    // Merges one valid discovery reply (kCdhAnnounceSize bytes) into the list: the record of its
    // hardware address, made when new (in the place of a record that missed the discovery before
    // and is not seen in this one, when the list is full). Null when a new record cannot be
    // allocated or has no place.
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
    std::uint32_t TakenCount = 0;   // replies taken in the last discovery
    TLinkList Records{32};          // owns the listed TCdhSvr records, in the order they were found
    std::vector<TCdhSvr*> Array;

private:
    struct Tracked {
        TCdhSvr* record = nullptr;
        std::uint32_t missed = 0;        // discoveries in a row without an answer
        std::uint64_t answeredQuery = 0; // the last query it answered
    };

    int DiscoveryExchange(TTcpSession* session);
    // Takes the record out of the list; it is freed when the next discovery begins.
    void Retire(TCdhSvr* record);
    // A listed record that missed the discovery before and has not answered this one, the
    // longest silent first; or null.
    TCdhSvr* LeastSeen() const;

    std::unordered_map<std::uint64_t, Tracked> byMac_; // the listed records by hardware address
    std::vector<TCdhSvr*> retired_;                    // left the list; freed at the next round
    std::uint64_t query_ = 0;                          // queries counted so far
};

// The program's one CD-server list; none until the first discovery of the facade.
extern TCdhNet* CdhServerList;

// The name order of the list: a-z upper-cased, then byte order; true when a sorts before b.
bool CdhNameLess(const char* a, const char* b);
