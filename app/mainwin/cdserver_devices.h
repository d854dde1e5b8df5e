// The devices of a CD server as the main window shows them: which slots make a node and of which
// kind, their type texts, and the kinds of the rows of a device list. Everything is read from the
// server record that the last refresh left, through the facade; every slot and index is checked.
#pragma once

#include <string>
#include <vector>

class CDH_NET_CLASS;
class TCdhSvr;

// Node kinds of the CD-server branch.
enum CdhNodeKind : int {
    kCdhServerRead = 15,     // device information read
    kCdhServerFactory = 16,  // still at the factory address
    kCdhServerNoAnswer = 17, // device information could not be read
    kCdhDiskTarget = 18,     // hard disk in mirror mode: "Target Location"
    kCdhDiskFile = 19,       // hard disk in file mode
    kCdhDiskNoInit = 20,     // hard disk not initialised
    kCdhCdrom = 21,          // CD-ROM drive, any mode
    kCdhCdWriter = 23,       // CD-R in record mode
    kCdhFileRow = 25,        // list rows of a device: "File"
    kCdhTitleRow = 27,       // "CD Title"
    kCdhCacheRow = 28,       // "CD Cache"
    kCdhShares = 29,         // "Share Folder(s)"
    kCdhSystemRow = 30,      // share list rows: "System"
    kCdhGroupingRow = 31,    // "Grouping"
    kCdhVolumeRow = 32,      // "Volume"
    kCdhTape = 41,           // tape device
    kCdhVolumeTarget = 42,   // RAID volume in mirror mode
    kCdhVolumeFile = 43,     // RAID volume in file mode
    kCdhVolumeNoInit = 44,   // RAID volume not initialised
    kCdhFirstTapeRow = 45,   // backup-set rows 45-50
    kCdhImageRow = 58,       // "Image", "Image[M]"
};

struct CdhDevice {
    int Slot = 0; // 0-7 a drive slot, 8-11 a RAID volume
    int Kind = 0; // a device node kind
};

// The node kind of a slot, or 0 when the slot holds no device: drive slots 0-7 are tapes (an
// active volume-table slot of kind 4), hard disks, CD writers and CD-ROM drives; slots 8-11 are
// RAID volumes.
int CdhDeviceKind(const CDH_NET_CLASS& net, const TCdhSvr* server, int slot);
// Every device of the server in slot order.
std::vector<CdhDevice> CdhDevicesOf(const CDH_NET_CLASS& net, const TCdhSvr* server);
bool IsCdhDeviceKind(int kind);
// A device whose images the list shows: every device kind but an uninitialised disk or volume.
bool IsCdhImageListKind(int kind);
// The device's type: "Target Location", "HD (File Device)", "HD (No Init)", "CD-R (CD Record
// Mode)", "Tape Device", the RAID text, or a CD-ROM text by its mode.
std::string CdhDeviceTypeText(const CDH_NET_CLASS& net, const TCdhSvr* server, int slot);
// The text of a device's node and row: its label, or its type when it has none.
std::string CdhDeviceText(const CDH_NET_CLASS& net, const TCdhSvr* server, int slot);
// The row kind of a slot entry by its kind text; an entry of no known kind shows as a CD title,
// a row that offers no command that changes anything.
int CdhEntryRowKind(const std::string& kindText);
// The row kind of a backup set: 45-47 image backups, 48-50 file backups, each not on this tape,
// a full volume, a span volume.
int CdhBackupSetRowKind(int setKind, int place);
// Entries of the slot that are loaded and belong to it; 0 after a failed reload, which leaves the
// slot's entry count at 0.
int CdhListedEntryCount(const CDH_NET_CLASS& net, const TCdhSvr* server, int slot);
// Backup sets of the tape header, at most what the header can hold.
int CdhListedBackupSetCount(const CDH_NET_CLASS& net, const TCdhSvr* server);
// The slot a device node or row carries as its data, and back; -1 for no slot.
void* CdhSlotData(int slot);
int CdhSlotOf(const void* data);
