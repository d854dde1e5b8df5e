// CNasServer: one NAS unit as the program knows it: the unit's record from discovery, what the
// program keeps beside it (credentials, the socket of an open session, CD drives, image folders)
// and the result of the last access-library call. Every library call that concerns one unit goes
// through a method here, which keeps the library's result for GetLastResultText.
//
// Texts returned are UTF-8: record texts of encoding kind 0 are converted from the ANSI code page
// of the message language, kinds 1 and 2 are UTF-8 already.
//
// The object has no lock: list entries are used on the GUI thread, and each task works on its own
// copy (Assign) on its worker thread.
#pragma once

#include "nasapi.h"
#include "nasunit_handle.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The lines of a server's tool-tip, in this order.
struct _INFO_STRING {
    std::string Name;
    std::string Workgroup;
    std::string Lan0Ip;
    std::string Lan1Ip;
    std::string Lan2Ip;
    std::string FirmwareVersion;
    std::string Status;
    std::string Comment;
    std::string ExtendedName;
};

// Authentication kinds: the number an operation passes to CNasServer::Authenticate to say which
// password or account it needs. 3-5 ask the administrator password; 15-19, 29 and 33 a local
// account of the unit; 35 the domain-registration account; every other kind asks nothing.
enum NasAuthKind : int {
    kAuthAdministrator = 4,  // configuration export and import, server setup, reading a profile
    kAuthApplyProfile = 5,   // applying a settings profile
    kAuthTaskAccount = 17,   // mirror, record, image-build and upload tasks
    kAuthConvertFolder = 29, // converting an image folder
    kAuthDeleteImage = 33,   // deleting CD images
    kAuthDomainAccount = 35, // domain registration in the server setup
};

class CNasServer {
public:
    static constexpr int kReservedSize = 4;
    static constexpr int kUserNameSize = 24;                   // NUL-terminated
    static constexpr int kPasswordSize = 20;                   // NUL-terminated, at most 19 bytes
    static constexpr int kDomainUserNameSize = 64;             // on the wire, NUL-terminated
    static constexpr int kDomainPasswordSize = 32;             // on the wire, NUL-terminated
    static constexpr int kImgFolderMax = NAS_IMG_FOLDER_MAX;   // 255
    static constexpr int kImgFolderSize = NAS_IMG_FOLDER_SIZE; // 128, name text at byte 8
    static constexpr int kDefaultDriveTypeMask = 246;          // the list the drive counts use
    static constexpr int kDriveBufferRecords = 10;
    // The password that protects configuration transfers and settings profiles.
    static constexpr char kConfigPassword[] = "@QrTv@@pLmN@";
    static constexpr char kWrongDriveNumber[] = "[Wrong Drive Number]";

    CNasServer();
    // Frees the drive records and closes a session socket still open.
    ~CNasServer();
    // Copy with Assign; an object is never copied by accident.
    CNasServer(const CNasServer&) = delete;
    CNasServer& operator=(const CNasServer&) = delete;

    // Clears every field (an open session socket is closed, the drive list freed).
    void Init();
    // A deep copy of source: credentials, remote flag, record, last result and its text, reserved
    // text, drive list (records duplicated), image folders. The domain fields are not copied. The
    // copy keeps its own session socket: it never shares the source's session or drive records.
    void Assign(const CNasServer& source);

    // Texts of the record (each a new string).
    int GetTextEncoding() const; // 0, 1 or 2
    std::string GetName() const;
    std::string GetWorkgroup() const;
    std::string GetComment() const;
    std::string GetExtendedName() const; // empty unless the encoding kind is 2
    std::string GetStatusText() const;
    std::string GetFirmwareVersion() const; // "V1.02", "V1.02.0003", "V1.02.0000.0000.b7"
    // The first address of the three that accepts a connection, host order; 0 when none does.
    // Not kept as the last result.
    std::uint32_t GetValidIp() const;
    std::string GetIpText() const; // dotted GetValidIp, "0.0.0.0" when none
    // Dotted address, mask, gateway of LAN index 0..2; empty for any other index.
    std::string GetLanIpText(int index) const;
    std::string GetMaskText(int index) const;
    std::string GetGatewayText(int index) const;
    void GetHintLines(_INFO_STRING& out) const;

    // Capability tests.
    bool HasCdMirror() const;     // capability bit 0: image folders and CD mirrors
    bool IsFlag30Set() const;     // capability bit 30
    bool IsFlag31Clear() const;   // capability bit 31 clear: task queries and password checks
    bool IsOptionBit0Set() const; // option word bit 0 (domain mode)

    // CD drives.
    // Loads the drive list of the drives sharing a bit with typeMask: the number of drives, 0 (no
    // list) or -1 (the query failed; no list).
    int LoadCdDrives(int typeMask);
    int LoadDefaultCdDrives(); // LoadCdDrives(246)
    void FreeCdDrives();
    bool HasDriveList() const; // the list of type mask 246 is loaded and not empty
    int GetDriveCountLoaded() const;
    // -1 (false) with nothing loaded, 1 (true) with a loaded list of 246, else 0 (false); state
    // may be null.
    bool GetDriveListState(int* state) const;
    // The drive count, loading the list of type mask 246 once when nothing is loaded yet.
    int GetDriveCount();
    // The drive number of record i; -1 with no records or i out of range.
    int GetDriveNumber(int i) const;
    // The name of the drive with that number; "[Wrong Drive Number]" when no record has it.
    std::string GetDriveName(int number) const;
    // True when the drive with that number has any of the upper four bits of its type byte set;
    // true too when no record has that number.
    bool IsDriveRecordable(int number) const;
    // Drive record i, or null.
    const NasCDDrvInfo* GetDriveRecord(int i) const;
    int GetDriveListKind() const { return driveListKind_; }

    // Library calls. Each keeps the library's result as LastResult and returns it. The session
    // calls refuse (-1, no call, LastResult unchanged) while no session socket is open.
    // folders must hold 255 records.
    int GetImgFolders(int& count, char (*folders)[NAS_IMG_FOLDER_SIZE]);
    // Reads the image folders into ImgFolderCount / ImgFolders for a unit with HasCdMirror;
    // 0 without a call otherwise.
    int RefreshImageFolders();
    // The name (text at byte 8) of image folder index; empty outside 0..ImgFolderCount-1.
    std::string GetImgFolderName(int index) const;
    // records must hold NAS_IMG_INFO_MAX records; count is 0..4096.
    int GetImgList(int& count, NasImgInfo* records);
    // Opens a mirror session; on success the object holds its socket.
    int MirrorStart(const NasCDTable* table, NasMirrorInfo* info, int utf8Folder);
    int SendCdData(const void* data, int length);
    // Ends the mirror; the socket is forgotten (closed here unless the library closed it on 0).
    int MirrorComplete();
    // Sends the abort (4096 user stop, 4097 read error), then closes the socket.
    int MirrorAbort(int reason);
    int RemoteCdBurning(NasBurnInfo* info);
    int GetCdBurningStat(const std::uint32_t job[2], NasCDBurningStat* status);
    // Opens an image-transfer session; on success the object holds its socket.
    int ImageTransferStart(const NasImgRequest* request);
    int SendImageData(const void* data, int length);
    // Ends one image; the socket stays open (CloseDataSocket closes it).
    int ImageTransferComplete(const NasImgDone* done);
    // Sends the abort, then closes the socket.
    int ImageTransferAbort(int reason);
    int ConvertImageFolder(const NasImgRequest* request);
    int DeleteCdImage(const NasImgRequest* request);
    // Writes the configuration file at path to the unit with the stored password.
    int SetConfig(int value, const char* path);
    // Reads the unit's configuration into the file at path (null: an empty path).
    int GetConfig(const char* path);

    // Closes the session socket when one is open; returns 0.
    int CloseDataSocket();
    int GetDataSocket() const { return dataSocket_; }
    // Forgets a stored account (user name and password); an administrator password stored with
    // an empty user name is kept.
    void ClearCredentials();
    // True when the operation of that kind may go on with the credentials now stored, asking
    // through the password dialog as needed; false when refused or cancelled.
    bool Authenticate(int kind);
    // The number of tasks pending on the unit: 0 for a unit with bit 31 set, -1 when the query
    // failed. With show a non-zero count is listed on the message form's task page (the form is
    // made when missing).
    int GetPendingTasks(bool show);

    // The text of LastResult (also kept in ResultText).
    std::string GetLastResultText();
    // Opens "http://" + GetIpText() + "/admin/" in the browser; false when nothing was opened.
    bool OpenWebAdmin() const;
    // Opens the unit's share list ("\\" + GetIpText()) in the file browser.
    bool ExploreShares() const;

    // What other parts of the program read and set.
    char ReservedText[kReservedSize];
    std::uint8_t RemoteFlag;          // 1 for a unit added by address
    char UserName[kUserNameSize];     // an account after an account login, empty after an admin one
    char Password[kPasswordSize];     // the account's or administrator's, in the unit's encoding
    NasServerInfo Info;               // the unit's record
    std::uint32_t DomainAccountGiven; // 1 when a domain-registration name or password was typed
    // The domain account as typed (UTF-8), checked at the prompt to fit the wire's code-page
    // fields; a code-page byte takes at most three bytes of UTF-8.
    char DomainUserName[3 * kDomainUserNameSize];
    char DomainPassword[3 * kDomainPasswordSize];
    int ImgFolderCount; // valid entries of ImgFolders
    char ImgFolders[kImgFolderMax][kImgFolderSize];
    std::string ResultText;
    int LastResult;
    // The server list's handle of this object (empty for an object the list did not make, such as
    // a task's copy); Init and Assign leave it.
    NasUnitHandle UnitHandle;

private:
    // The record's three addresses, as every request passes them.
    const std::uint32_t* Addresses() const { return Info.ipAddress; }
    // A copy of them, for a call that may outlive this object (unit_call.h).
    std::array<std::uint32_t, NAS_ADDRESS_COUNT> AddressCopy() const {
        return {Info.ipAddress[0], Info.ipAddress[1], Info.ipAddress[2]};
    }
    // The unit's verdict on an account (unit_call.h: bounded on the GUI thread).
    int CheckAccount(const std::string& user, const std::string& password);
    // Charset mode of the mirror and recording requests: the encoding kind 1 or 2, else 0.
    int CharsetMode() const;
    // The record's text field in UTF-8, by the encoding rules of this object.
    std::string RecordText(const char* field, std::size_t width, bool utf8) const;

    int dataSocket_;    // socket of the open mirror or image-transfer session; 0 when none
    int driveListKind_; // type mask the drive list was loaded with; 0 when none
    std::vector<NasCDDrvInfo> drives_;
};

// The text of an access-library result (empty for codes it does not know), kept in the server's
// ResultText when server is not null.
std::string NasResultText(CNasServer* server, int code);
