/* The NAS access library: finds NAS units on the local network and speaks their request/reply
 * protocol. Plain C interface. Servers are addressed by an array of three IPv4 addresses in host
 * byte order (one per LAN port of the unit), 0 marking an unused entry.
 *
 * Results: 0 success, -1 communication failure, other values as each function says.
 */
#ifndef NASAPI_H
#define NASAPI_H

#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define NASAPI_EXPORT __attribute__((visibility("default")))
#else
#define NASAPI_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
    NAS_ADDRESS_COUNT = 3,      /* entries of an address array */
    NAS_SERVER_INFO_SIZE = 256, /* bytes of one NasServerInfo */
    NAS_FIND_SERVER_MAX = 255   /* records NasApiFindServer may store */
};

/* One NAS unit as discovery describes it: 256 bytes, little-endian integers, no padding.
 * Texts are the unit's bytes, zero-filled, and carry no terminator when they fill their field;
 * their encoding is UTF-8 when textEncodingKind is 1 or 2, else the unit's code page. */
typedef struct NasServerInfo {
    char name[16];               /*   0 */
    char workgroup[16];          /*  16: workgroup or domain name */
    char comment[32];            /*  32 */
    char extraText[16];          /*  64: further text, kept as the unit sent it */
    uint32_t ipAddress[3];       /*  80: LAN 0, 1, 2, host order */
    uint32_t subnetMask[3];      /*  92: host order */
    uint32_t gateway[3];         /* 104: host order */
    uint8_t hardwareAddress[18]; /* 116: the unit's identity */
    uint16_t word134;            /* 134: kept unchanged */
    uint16_t firmwareVersion[4]; /* 136: major, minor and two further parts */
    char firmwareBuild[16];      /* 144 */
    uint32_t value160;           /* 160: kept unchanged */
    uint32_t optionWord;         /* 164 */
    uint32_t unitStatus;         /* 168: 0 not ready */
    uint32_t capabilityFlags;    /* 172: bit 0 CD mirror and image folders */
    uint32_t value176;           /* 176: kept unchanged */
    uint16_t word180;            /* 180: kept unchanged */
    uint16_t word182;            /* 182: kept unchanged */
    uint32_t value184;           /* 184: kept unchanged */
    uint32_t textEncodingKind;   /* 188: 0 code page, 1 UTF-8, 2 UTF-8 with extended name */
    char extendedName[64];       /* 192: meaningful for kind 2 */
} NasServerInfo;

#ifdef __cplusplus
#define NASAPI_STATIC_ASSERT static_assert
#else
#define NASAPI_STATIC_ASSERT _Static_assert
#endif
NASAPI_STATIC_ASSERT(sizeof(NasServerInfo) == NAS_SERVER_INFO_SIZE, "NasServerInfo size");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, workgroup) == 16, "workgroup");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, comment) == 32, "comment");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, extraText) == 64, "extraText");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, ipAddress) == 80, "ipAddress");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, subnetMask) == 92, "subnetMask");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, gateway) == 104, "gateway");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, hardwareAddress) == 116, "hardwareAddress");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, word134) == 134, "word134");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, firmwareVersion) == 136, "firmwareVersion");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, firmwareBuild) == 144, "firmwareBuild");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, value160) == 160, "value160");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, optionWord) == 164, "optionWord");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, unitStatus) == 168, "unitStatus");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, capabilityFlags) == 172, "capabilityFlags");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, value176) == 176, "value176");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, word180) == 180, "word180");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, word182) == 182, "word182");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, value184) == 184, "value184");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, textEncodingKind) == 188, "textEncodingKind");
NASAPI_STATIC_ASSERT(offsetof(NasServerInfo, extendedName) == 192, "extendedName");

/* The address of the first entry, in array order, that accepted a TCP connection to the unit's
 * request port within the connect limit; 0 when none did; 0xFFFFFFFF (-1) when no socket could be
 * made. Treat only 0 as "no address" when comparing, and never use 0xFFFFFFFF as an address. */
NASAPI_EXPORT uint32_t NasApiGetValidIP(const uint32_t addrs[3]);

/* Broadcasts a discovery request on every local network and stores one record per unit that
 * answered (by hardware address) in out[0..*count-1]. A reply counts only when it comes from an
 * address it names for its unit; one that names no address (a unit not set up yet) counts when no
 * such reply carries its hardware address. out must hold NAS_FIND_SERVER_MAX records.
 * 0 on success (also with *count 0); -1 when the discovery socket can't be bound or set up. */
NASAPI_EXPORT int NasApiFindServer(NasServerInfo* out, int* count);

/* Asks one unit for its record over TCP. The unit's reply status (0 when it answered normally)
 * with out filled; -1 when no address connected, sending failed or no valid reply arrived in time
 * (out is then left as it was). */
NASAPI_EXPORT int NasApiGetRemoteInfo(const uint32_t addrs[3], NasServerInfo* out);

/* Status and list queries */

enum {
    NAS_DISK_INFO_SIZE = 170,      /* bytes of one NasDiskInfo */
    NAS_VOL_INFO_SIZE = 192,       /* bytes of one NasVolInfo */
    NAS_TASK_INFO_SIZE = 96,       /* bytes of one NasTaskInfo */
    NAS_IMG_FOLDER_SIZE = 128,     /* bytes of one image folder record */
    NAS_IMG_INFO_SIZE = 191,       /* bytes of one NasImgInfo */
    NAS_SHARE_INFO_SIZE = 608,     /* bytes of one NasShareInfo */
    NAS_CDDRV_INFO_SIZE = 49,      /* bytes of one NasCDDrvInfo */
    NAS_CD_BURNING_STAT_SIZE = 89, /* bytes of one NasCDBurningStat */
    NAS_DISK_INFO_MAX = 64,        /* records NasApiGetDiskInfo may store */
    NAS_VOL_INFO_MAX = 64,         /* records NasApiGetVolInfo may store */
    NAS_TASK_INFO_MAX = 4096,      /* most task records a unit may announce */
    NAS_IMG_FOLDER_MAX = 255,      /* records NasApiGetImgFolders may store */
    NAS_IMG_INFO_MAX = 4096,       /* records NasApiGetImgList may store */
    NAS_SHARE_INFO_MAX = 1024,     /* records NasApiGetShareList may store */
    NAS_CDDRV_INFO_MAX = 10        /* records NasApiGetCDDrvList may store */
};

/* Disk, volume and task records are laid out by the unit and copied as it sent them. A task
 * record starts with the task's name, zero-terminated within the record. */
typedef struct NasDiskInfo {
    uint8_t data[170];
} NasDiskInfo;
typedef struct NasVolInfo {
    uint8_t data[192];
} NasVolInfo;
typedef struct NasTaskInfo {
    uint8_t data[96];
} NasTaskInfo;

#pragma pack(push, 1)
/* One disc image of an image folder: 191 bytes, packed. Texts are always zero-terminated. */
typedef struct NasImgInfo {
    uint8_t state;      /*   0: 1 ready, 2 creating, 3 and 4 replacing */
    uint8_t fileSystem; /*   1: 1 ISO 9660, 2 UDF, 3 HFS, 4 HFS+ */
    uint32_t imageId;   /*   2: the unit's identifier of the image */
    uint32_t value6;    /*   6: further value */
    char name[32];      /*  10 */
    char text42[32];    /*  42: second text */
    uint32_t size;      /*  74 */
    char path[112];     /*  78: folder name, a slash, image name */
    uint8_t flags;      /* 190: bit 0 marks the image */
} NasImgInfo;

/* One share: 608 bytes. Texts are always zero-terminated. */
typedef struct NasShareInfo {
    char name[32];      /*   0 */
    char text32[32];    /*  32 */
    uint32_t values[8]; /*  64 */
    char text96[512];   /*  96 */
} NasShareInfo;

/* One CD drive of a unit: 49 bytes, packed. */
typedef struct NasCDDrvInfo {
    uint32_t typeMask;   /*  0: drive type bits; byte 0 is the drive's type byte */
    char name[41];       /*  4: at most 40 characters, zero-terminated */
    uint8_t driveNumber; /* 45 */
    uint8_t tail[3];     /* 46: kept as the unit sent them */
} NasCDDrvInfo;

/* State of a remote recording job: 89 bytes, packed; bytes not named are the unit's. */
typedef struct NasCDBurningStat {
    uint8_t bytes0[4];   /*  0 */
    uint32_t jobCounter; /*  4: job counter of the writer */
    uint8_t bytes8[8];   /*  8 */
    uint8_t percentDone; /* 16 */
    uint8_t bytes17[3];  /* 17 */
    uint8_t writerState; /* 20: 0..10 */
    uint8_t bytes21[64]; /* 21 */
    uint32_t endReason;  /* 85: 4096 aborted, 15 write error */
} NasCDBurningStat;
#pragma pack(pop)

NASAPI_STATIC_ASSERT(sizeof(NasDiskInfo) == NAS_DISK_INFO_SIZE, "NasDiskInfo size");
NASAPI_STATIC_ASSERT(sizeof(NasVolInfo) == NAS_VOL_INFO_SIZE, "NasVolInfo size");
NASAPI_STATIC_ASSERT(sizeof(NasTaskInfo) == NAS_TASK_INFO_SIZE, "NasTaskInfo size");
NASAPI_STATIC_ASSERT(sizeof(NasImgInfo) == NAS_IMG_INFO_SIZE, "NasImgInfo size");
NASAPI_STATIC_ASSERT(offsetof(NasImgInfo, fileSystem) == 1, "fileSystem");
NASAPI_STATIC_ASSERT(offsetof(NasImgInfo, imageId) == 2, "imageId");
NASAPI_STATIC_ASSERT(offsetof(NasImgInfo, value6) == 6, "value6");
NASAPI_STATIC_ASSERT(offsetof(NasImgInfo, name) == 10, "name");
NASAPI_STATIC_ASSERT(offsetof(NasImgInfo, text42) == 42, "text42");
NASAPI_STATIC_ASSERT(offsetof(NasImgInfo, size) == 74, "size");
NASAPI_STATIC_ASSERT(offsetof(NasImgInfo, path) == 78, "path");
NASAPI_STATIC_ASSERT(offsetof(NasImgInfo, flags) == 190, "flags");
NASAPI_STATIC_ASSERT(sizeof(NasShareInfo) == NAS_SHARE_INFO_SIZE, "NasShareInfo size");
NASAPI_STATIC_ASSERT(offsetof(NasShareInfo, text32) == 32, "text32");
NASAPI_STATIC_ASSERT(offsetof(NasShareInfo, values) == 64, "values");
NASAPI_STATIC_ASSERT(offsetof(NasShareInfo, text96) == 96, "text96");
NASAPI_STATIC_ASSERT(sizeof(NasCDDrvInfo) == NAS_CDDRV_INFO_SIZE, "NasCDDrvInfo size");
NASAPI_STATIC_ASSERT(offsetof(NasCDDrvInfo, name) == 4, "name");
NASAPI_STATIC_ASSERT(offsetof(NasCDDrvInfo, driveNumber) == 45, "driveNumber");
NASAPI_STATIC_ASSERT(offsetof(NasCDDrvInfo, tail) == 46, "tail");
NASAPI_STATIC_ASSERT(sizeof(NasCDBurningStat) == NAS_CD_BURNING_STAT_SIZE, "NasCDBurningStat size");
NASAPI_STATIC_ASSERT(offsetof(NasCDBurningStat, jobCounter) == 4, "jobCounter");
NASAPI_STATIC_ASSERT(offsetof(NasCDBurningStat, percentDone) == 16, "percentDone");
NASAPI_STATIC_ASSERT(offsetof(NasCDBurningStat, writerState) == 20, "writerState");
NASAPI_STATIC_ASSERT(offsetof(NasCDBurningStat, endReason) == 85, "endReason");

/* Disk and volume records of a unit into out, which must hold NAS_DISK_INFO_MAX (NAS_VOL_INFO_MAX)
 * records; *count is the number stored. 0 once a reply header arrived, even when fewer records
 * followed than announced, and 0 with *count 0 when no reply came in time; -1 with *count 0 when
 * no address is reachable or the reply header can't be read. The unit's status is not looked at. */
NASAPI_EXPORT int NasApiGetDiskInfo(const uint32_t addrs[3], int* count, NasDiskInfo* out);
NASAPI_EXPORT int NasApiGetVolInfo(const uint32_t addrs[3], int* count, NasVolInfo* out);

/* The unit's pending tasks in a new array that NasApiDeleteTaskInfo frees, or NULL when the unit
 * announced none or anything failed. *status is the reply's status, -1 when no usable reply came;
 * *taskCount and *value are the reply's two counters (0 without a reply). When an array is
 * returned, *taskCount is at most its record count; records that did not arrive are zero. */
NASAPI_EXPORT NasTaskInfo* NasApiGetTask(const uint32_t addrs[3], int* status, int* taskCount,
                                         int* value);
/* Frees an array of NasApiGetTask; nothing happens when count is 0 or array is NULL. */
NASAPI_EXPORT void NasApiDeleteTaskInfo(unsigned count, void* array);

/* List queries: the unit's status (0 success) with *count records in out, which must hold the
 * NAS_..._MAX records of its kind; -1 when no address is reachable or the reply fails; -3 when no
 * reply header arrives in time. *count is 0 unless records were stored; with a non-zero status
 * no records are read, except CD drives, which are read whatever the status. Image folder
 * records keep the unit's layout, with their last byte always 0 so that the name in them ends. */
NASAPI_EXPORT int NasApiGetImgFolders(const uint32_t addrs[3], int* count, char (*out)[128]);
NASAPI_EXPORT int NasApiGetImgList(const uint32_t addrs[3], unsigned* count, NasImgInfo* out);
NASAPI_EXPORT int NasApiGetShareList(const uint32_t addrs[3], unsigned* count, NasShareInfo* out);
/* Only drives whose type mask shares a bit with typeMask are stored; all when typeMask is 0 or
 * less, or 255. */
NASAPI_EXPORT int NasApiGetCDDrvList(const uint32_t addrs[3], int* count, NasCDDrvInfo* out,
                                     int typeMask);

/* State of the recording job job[0], job[1]: 0 with out filled; 2 when out is NULL; the unit's
 * non-zero status; -1 on a failure. */
NASAPI_EXPORT int NasApiGetCDBurningStat(const uint32_t addrs[3], const uint32_t job[2],
                                         NasCDBurningStat* out);

/* Administration and configuration */

enum {
    NAS_RESULT_TIMEOUT = -3,     /* no reply in time */
    NAS_RESULT_FILE_ERROR = -6,  /* the configuration file can't be opened or created */
    NAS_PASSWORD_MAX = 80,       /* characters of an administrator or account password */
    NAS_USER_NAME_MAX = 31,      /* characters of an account name */
    NAS_CONFIG_PASSWORD_MAX = 45 /* characters of a configuration password */
};

/* The unit's verdict on its administrator password: 0 right, the unit's code otherwise; -1 when
 * no address is reachable, no reply of the right kind came in time or the password is too long. */
NASAPI_EXPORT int NasApiCheckPassword(const uint32_t addrs[3], const char* password);
/* Shuts the unit down (mode as the unit defines it), with the administrator password; results as
 * NasApiCheckPassword. */
NASAPI_EXPORT int NasApiShutdown(const uint32_t addrs[3], int mode, const char* password);
/* Logs a local account in: 0 accepted, the unit's non-zero status when refused, -1 on a failure or
 * a name or password longer than its field. */
NASAPI_EXPORT int NasApiCheckUserPassword(const uint32_t addrs[3], const char* user,
                                          const char* password);

/* Reads the unit's configuration file into the file at path: the reply's status once the file
 * is written; the unit's status (file untouched) when it refuses without sending a file; -1 on a
 * failed step or a stream cut short, -3 when the reply or the stream stops arriving in time (the
 * part that arrived stays in the file); NAS_RESULT_FILE_ERROR when path is empty or the file
 * can't be created or written. A failed step is also reported by number through the library's
 * notifier. */
NASAPI_EXPORT int NasApiGetConfig(const uint32_t addrs[3], const char* path,
                                  const char* configPassword);
/* Sends the file at path to the unit as its configuration; value selects the settings groups to
 * apply. The status of the unit's final reply; NAS_RESULT_FILE_ERROR when the file can't be
 * opened (nothing is sent then) or can't be read to its end; -1 on a failed step, at once when
 * the unit stops taking data; -3 when no final reply comes in time. */
NASAPI_EXPORT int NasApiSetConfig(const uint32_t addrs[3], const char* adminPassword,
                                  const char* configPassword, int value, const char* path);

/* Set-server */

enum { NAS_SERVER_SETTING_SIZE = 268, NAS_SERVER_SETTING2_SIZE = 108 };

/* The basic settings that a set-server request writes to a unit: 268 bytes, little-endian,
 * addresses in host order, unused bytes zero. Texts are zero-terminated within their fields and
 * written in the configured ANSI code page; modes 1 and 2 send them to the unit as UTF-8, cut to
 * the wire field at a character boundary. The passwords have at most 15 characters: a password
 * that fills its field without a terminator is refused. */
typedef struct NasServerSetting {
    uint32_t route;              /*   0: 1 = TCP to the given unit; any other value = broadcast */
    char name[16];               /*   4 */
    char workgroup[16];          /*  20: workgroup or domain name */
    char comment[32];            /*  36 */
    char extraText[16];          /*  68: not sent */
    uint32_t ipAddress[3];       /*  84: LAN 0, 1, 2 */
    uint32_t subnetMask[3];      /*  96 */
    uint32_t gateway[3];         /* 108 */
    uint8_t hardwareAddress[18]; /* 120 */
    uint16_t teamingMode;        /* 138 */
    uint32_t addressFlags;       /* 140: 0x10 BOOTP, 0x20 RARP, 0x40 DHCP */
    uint32_t optionFlags;        /* 144: bit 0 domain mode */
    char newPassword[16];        /* 148: administrator password to set, sent readable */
    char currentPassword[16];    /* 164: administrator password, sent as digest; authorises */
    uint16_t argument;           /* 180: argument word of the request header */
    uint8_t reserved182[2];      /* 182: not sent */
    uint32_t value184;           /* 184: further values, copied to the request */
    uint32_t value188;           /* 188 */
    uint16_t word192;            /* 192 */
    uint16_t word194;            /* 194 */
    uint32_t value196;           /* 196 */
    uint32_t mode;               /* 200: 0 code-page texts, 1 UTF-8, 2 UTF-8 with extended name */
    char extendedName[64];       /* 204: mode 2 */
} NasServerSetting;

/* Domain credentials appended by NasApiSetServer2: 108 bytes. */
typedef struct NasServerSetting2 {
    uint32_t value0;       /*   0: 9 */
    uint32_t value4;       /*   4: 100 */
    uint32_t accountGiven; /*   8: 1 when an account is given */
    char userName[64];     /*  12: sent as UTF-8, cut at a character boundary */
    char password[32];     /*  76: sent as UTF-8; refused when that takes more than 31 bytes */
} NasServerSetting2;

NASAPI_STATIC_ASSERT(sizeof(NasServerSetting) == NAS_SERVER_SETTING_SIZE, "NasServerSetting size");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, name) == 4, "name");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, workgroup) == 20, "workgroup");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, comment) == 36, "comment");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, extraText) == 68, "extraText");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, ipAddress) == 84, "ipAddress");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, subnetMask) == 96, "subnetMask");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, gateway) == 108, "gateway");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, hardwareAddress) == 120, "hardwareAddress");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, teamingMode) == 138, "teamingMode");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, addressFlags) == 140, "addressFlags");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, optionFlags) == 144, "optionFlags");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, newPassword) == 148, "newPassword");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, currentPassword) == 164, "currentPassword");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, argument) == 180, "argument");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, value184) == 184, "value184");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, value188) == 188, "value188");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, word192) == 192, "word192");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, word194) == 194, "word194");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, value196) == 196, "value196");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, mode) == 200, "mode");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting, extendedName) == 204, "extendedName");
NASAPI_STATIC_ASSERT(sizeof(NasServerSetting2) == NAS_SERVER_SETTING2_SIZE, "NasServerSetting2");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting2, userName) == 12, "userName");
NASAPI_STATIC_ASSERT(offsetof(NasServerSetting2, password) == 76, "password");

/* Writes a unit's basic settings (route 1: by TCP to addrs; otherwise by broadcast from each local
 * network in turn, from the first free local port of the configured range). The unit's status
 * (0 accepted); -1 when a password is too long, no address connected, no socket or local port
 * could be had, no expected reply came, or receiving failed. */
NASAPI_EXPORT int NasApiSetServer(const uint32_t addrs[3], const NasServerSetting* setting);
/* The same with the domain credentials appended (the longer request). */
NASAPI_EXPORT int NasApiSetServer2(const uint32_t addrs[3], const NasServerSetting* setting,
                                   const NasServerSetting2* credentials);

/* Sessions */

enum {
    NAS_CD_TABLE_SIZE = 812,
    NAS_CD_TRACK_SLOTS = 99,
    NAS_MIRROR_INFO_SIZE = 284,
    NAS_BURN_INFO_SIZE = 94,
    NAS_IMG_REQUEST_SIZE = 256,
    NAS_IMG_DELETE_MAX = 50, /* image identifiers of one deletion request */
    NAS_IMG_DONE_SIZE = 73
};

#pragma pack(push, 1)
/* One entry of the track table: 8 bytes. */
typedef struct NasCDTrackEntry {
    uint8_t trackNumber;   /* 0 */
    uint8_t controlAdr;    /* 1: control and ADR, the drive's nibbles swapped */
    uint8_t one;           /* 2: 1 */
    uint32_t startAddress; /* 3: LBA */
    uint8_t session;       /* 7 */
} NasCDTrackEntry;

/* The source disc's track table, 812 bytes, built and zeroed first by the caller. The library
 * sends it as it is, with its checksum in the mirror request. */
typedef struct NasCDTable {
    uint8_t one;                                /*   0: 1 */
    uint8_t trackCount;                         /*   1: track entries used */
    uint8_t discByte2;                          /*   2: from the disc information */
    uint8_t discByte3;                          /*   3 */
    uint32_t leadOutAddress;                    /*   4 */
    uint8_t multiSession;                       /*   8: 1 with two or more sessions */
    uint8_t one9;                               /*   9: 1 */
    NasCDTrackEntry tracks[NAS_CD_TRACK_SLOTS]; /*  10 */
    NasCDTrackEntry leadOut;                    /* 802 */
    uint8_t reserved810[2];                     /* 810: zero */
} NasCDTable;

/* The caller's mirror request: 284 bytes, every field at its natural alignment. Texts are
 * zero-terminated within their fields. The caller's own texts (source label, image name, share
 * name) are in the unit's encoding: UTF-8 for units of text-encoding kind 1 and 2 (sent as valid
 * UTF-8, cut at a character boundary), the unit's code page for units of kind 0 (sent unchanged).
 * The account and the folder name are the unit's own names and are sent byte for byte. */
typedef struct NasMirrorInfo {
    char userName[32];    /*   0: account of the unit */
    char password[20];    /*  32: sent as digest; at most 19 characters */
    char folderName[112]; /*  52: image folder as the unit listed it; sent unchanged */
    uint32_t sectorCount; /* 164 */
    uint32_t discKind;    /* 168: disc-kind bits */
    uint32_t methodBits;  /* 172 */
    char sourceLabel[32]; /* 176: UTF-8, sent in the unit's encoding */
    char imageName[32];   /* 208: UTF-8, sent in the unit's encoding; on success replaced by the
                             unit's name for the image, in the unit's encoding */
    char shareName[32];   /* 240: UTF-8, sent in the unit's encoding */
    uint32_t sectorCount2; /* 272 */
    uint32_t fileSystem;   /* 276 */
    uint16_t replyWord;    /* 280: written from the unit's reply */
    uint8_t mode;          /* 282: 1 from a disc, 3 from a file or container (0 is sent as 1) */
    uint8_t reserved283;   /* 283 */
} NasMirrorInfo;

/* The caller's remote-recording request: 94 bytes. The image name is the unit's (as its image
 * list or a mirror's reply gave it) and is sent byte for byte. */
typedef struct NasBurnInfo {
    char userName[32];   /*  0 */
    char password[20];   /* 32: sent as digest; at most 19 characters */
    uint32_t imageId;    /* 52 */
    char imageName[32];  /* 56: the unit's name of the image; sent unchanged */
    uint8_t writer;      /* 88: writer number */
    uint8_t flags;       /* 89: bits 0 and 1 are sent */
    uint32_t replyValue; /* 90: the unit's answer, written on success */
} NasBurnInfo;

/* The caller's record of an image transfer, a conversion or a deletion: one of three readings,
 * zero-filled first. Texts are zero-terminated within their fields and sent unchanged. */
typedef union NasImgRequest {
    struct {
        char userName[32];      /*   0 */
        char password[20];      /*  32: sent as digest; at most 19 characters */
        char folderName[112];   /*  52: target image folder */
        char imageFileName[65]; /* 164 */
        uint32_t imageNumber;   /* 229: 1 */
        uint32_t imageSize;     /* 233: bytes of the first image file */
        uint32_t imageCount;    /* 237: images in this transfer */
    } transfer;
    struct {
        char userName[32];    /*   0 */
        char password[16];    /*  32: sent as digest; at most 15 characters */
        char folderName[112]; /*  48: image folder to convert */
    } conversion;
    struct {
        char userName[32];                     /*  0 */
        char password[20];                     /* 32: sent as digest; at most 19 characters */
        uint32_t imageCount;                   /* 52 */
        uint32_t imageIds[NAS_IMG_DELETE_MAX]; /* 56 */
    } deletion;
} NasImgRequest;

/* The caller's record of NasApiCDHImgTransferComplete: 73 bytes; all zero ends the transfer. */
typedef struct NasImgDone {
    char nextFileName[64]; /*  0: next image's file name */
    uint8_t reserved64;    /* 64: sent as zero */
    uint32_t moreImages;   /* 65: 1 for a further image */
    uint32_t nextFileSize; /* 69: bytes of that image */
} NasImgDone;
#pragma pack(pop)

NASAPI_STATIC_ASSERT(sizeof(NasCDTrackEntry) == 8, "NasCDTrackEntry size");
NASAPI_STATIC_ASSERT(offsetof(NasCDTrackEntry, startAddress) == 3, "startAddress");
NASAPI_STATIC_ASSERT(sizeof(NasCDTable) == NAS_CD_TABLE_SIZE, "NasCDTable size");
NASAPI_STATIC_ASSERT(offsetof(NasCDTable, leadOutAddress) == 4, "leadOutAddress");
NASAPI_STATIC_ASSERT(offsetof(NasCDTable, multiSession) == 8, "multiSession");
NASAPI_STATIC_ASSERT(offsetof(NasCDTable, tracks) == 10, "tracks");
NASAPI_STATIC_ASSERT(offsetof(NasCDTable, leadOut) == 802, "leadOut");
NASAPI_STATIC_ASSERT(sizeof(NasMirrorInfo) == NAS_MIRROR_INFO_SIZE, "NasMirrorInfo size");
NASAPI_STATIC_ASSERT(offsetof(NasMirrorInfo, password) == 32, "password");
NASAPI_STATIC_ASSERT(offsetof(NasMirrorInfo, folderName) == 52, "folderName");
NASAPI_STATIC_ASSERT(offsetof(NasMirrorInfo, sectorCount) == 164, "sectorCount");
NASAPI_STATIC_ASSERT(offsetof(NasMirrorInfo, sourceLabel) == 176, "sourceLabel");
NASAPI_STATIC_ASSERT(offsetof(NasMirrorInfo, imageName) == 208, "imageName");
NASAPI_STATIC_ASSERT(offsetof(NasMirrorInfo, shareName) == 240, "shareName");
NASAPI_STATIC_ASSERT(offsetof(NasMirrorInfo, sectorCount2) == 272, "sectorCount2");
NASAPI_STATIC_ASSERT(offsetof(NasMirrorInfo, fileSystem) == 276, "fileSystem");
NASAPI_STATIC_ASSERT(offsetof(NasMirrorInfo, replyWord) == 280, "replyWord");
NASAPI_STATIC_ASSERT(offsetof(NasMirrorInfo, mode) == 282, "mode");
NASAPI_STATIC_ASSERT(sizeof(NasBurnInfo) == NAS_BURN_INFO_SIZE, "NasBurnInfo size");
NASAPI_STATIC_ASSERT(offsetof(NasBurnInfo, imageId) == 52, "imageId");
NASAPI_STATIC_ASSERT(offsetof(NasBurnInfo, imageName) == 56, "imageName");
NASAPI_STATIC_ASSERT(offsetof(NasBurnInfo, writer) == 88, "writer");
NASAPI_STATIC_ASSERT(offsetof(NasBurnInfo, replyValue) == 90, "replyValue");
NASAPI_STATIC_ASSERT(sizeof(NasImgRequest) == NAS_IMG_REQUEST_SIZE, "NasImgRequest size");
NASAPI_STATIC_ASSERT(sizeof(((NasImgRequest*)0)->transfer) == 241, "transfer size");
NASAPI_STATIC_ASSERT(offsetof(NasImgRequest, transfer.folderName) == 52, "transfer.folderName");
NASAPI_STATIC_ASSERT(offsetof(NasImgRequest, transfer.imageFileName) == 164, "imageFileName");
NASAPI_STATIC_ASSERT(offsetof(NasImgRequest, transfer.imageNumber) == 229, "imageNumber");
NASAPI_STATIC_ASSERT(offsetof(NasImgRequest, transfer.imageSize) == 233, "imageSize");
NASAPI_STATIC_ASSERT(offsetof(NasImgRequest, transfer.imageCount) == 237, "imageCount");
NASAPI_STATIC_ASSERT(sizeof(((NasImgRequest*)0)->conversion) == 160, "conversion size");
NASAPI_STATIC_ASSERT(offsetof(NasImgRequest, conversion.folderName) == 48, "conversion.folderName");
NASAPI_STATIC_ASSERT(offsetof(NasImgRequest, deletion.imageCount) == 52, "deletion.imageCount");
NASAPI_STATIC_ASSERT(offsetof(NasImgRequest, deletion.imageIds) == 56, "deletion.imageIds");
NASAPI_STATIC_ASSERT(sizeof(NasImgDone) == NAS_IMG_DONE_SIZE, "NasImgDone size");
NASAPI_STATIC_ASSERT(offsetof(NasImgDone, moreImages) == 65, "moreImages");
NASAPI_STATIC_ASSERT(offsetof(NasImgDone, nextFileSize) == 69, "nextFileSize");

/* A session is a connection to a unit that a start call opens and hands to the caller as a
 * descriptor (never 0), which then belongs to the caller: data, complete and abort calls use it,
 * and the caller closes it, except after a NasApiMirrorComplete that returned 0, which closes it
 * itself. Calls given a session of 0 or below return -1 and send nothing. Results: 0 success; the
 * unit's status (sign-extended 16-bit) when it refused a step; -1 on a transport failure, a
 * time-out, a reply for another command, or a password too long for its field. */

/* Opens a mirror session: the request, then the track table. On success *session is set and the
 * unit's image name and reply word are written into info; on failure the connection is closed and
 * *session left as it was. textEncodingKind is the unit's (1 and 2 take UTF-8 texts, 0 the ANSI
 * code page); utf8Folder is kept for callers that pass it: the folder name is the unit's and goes
 * unchanged in every case. A null table is sent as zeros. */
NASAPI_EXPORT int NasApiMirrorStart(const uint32_t addrs[3], int* session, const NasCDTable* table,
                                    NasMirrorInfo* info, int textEncodingKind, int utf8Folder);
/* One block of disc data, acknowledged by the unit before the call returns. */
NASAPI_EXPORT int NasApiSendCDData(int session, const void* data, int length);
/* Ends the mirror; 0 closes the session, any other result leaves it open. */
NASAPI_EXPORT int NasApiMirrorComplete(int session);
/* Sends the abort with its reason; no reply is read and the session stays open. */
NASAPI_EXPORT int NasApiMirrorAbort(int session, int reason);

/* Opens an image-transfer session with request->transfer. */
NASAPI_EXPORT int NasApiCDHImgTransferStart(const uint32_t addrs[3], int* session,
                                            const NasImgRequest* request);
NASAPI_EXPORT int NasApiSendCDHImageData(int session, const void* data, int length);
/* Ends one image; done names the next one (null or all zero: the transfer ends). The session
 * stays open in every case. */
NASAPI_EXPORT int NasApiCDHImgTransferComplete(int session, const NasImgDone* done);
NASAPI_EXPORT int NasApiCDHImgTransferAbort(int session, int reason);

/* One-request calls: each opens and closes its own connection. */
/* Starts a recording on the unit's writer; on success info->replyValue holds the unit's answer. */
NASAPI_EXPORT int NasApiRemoteCDBurning(const uint32_t addrs[3], NasBurnInfo* info,
                                        int textEncodingKind);
/* Converts an image folder, request->conversion. */
NASAPI_EXPORT int NasApiCDHImageConvertByImgFolder(const uint32_t addrs[3],
                                                   const NasImgRequest* request);
/* Deletes images, request->deletion. */
NASAPI_EXPORT int NasApiDeleteCDImage(const uint32_t addrs[3], const NasImgRequest* request);

#ifdef __cplusplus
}
#endif

#endif /* NASAPI_H */
