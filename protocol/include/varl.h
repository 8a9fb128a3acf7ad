/*
 * varl: the Quorrel unit protocol library.
 *
 * Conventions, once for every function below:
 * - Results are one-byte booleans (VarlBool): non-zero for success. Test only that byte.
 * - On a false result the reason is one sentence in the library's last-error text; fetch it
 *   with VARL_Error_LastErr, once, before the thread calls anything else (a second failure
 *   replaces it). Successful calls leave the text as it was.
 * - All memory belongs to the caller. The library reads and writes the records and texts it is
 *   handed only during the call and keeps no reference to them afterwards.
 * - Texts are NUL-terminated 8-bit strings. IPv4 values are unsigned 32-bit numbers with the first
 *   dotted octet in the most significant byte (192.168.0.10 is 0xC0A8000A).
 * - A null count or record pointer gives a false result; only the records array of discovery
 *   may be null. The longest last-error text is 76 characters.
 * - Calls may overlap, from any number of threads. Each thread has its own last-error text:
 *   VARL_Error_LastErr returns the text of the calling thread's last failure, and only that
 *   thread's calls replace or empty it. The environment variables below are read at every call:
 *   change them only while no call runs.
 * - Every call blocks its thread: discovery for the whole time-out, an upload for the transfer.
 * - Discovery, get-config and set-config send their datagram to 255.255.255.255 port 8001 once
 *   out of every IPv4 interface that is up, running, broadcast-capable and not loopback, with
 *   that interface's address as the source; where none qualifies, once by the routing table.
 *   They fail to send only when every send failed. Each call reads three environment variables:
 *   - VARL_INTERFACES: interface names separated by commas or blanks ("eth0,wlan0"); the sends
 *     go out of those only. Names no interface has are ignored; when none of them can carry a
 *     broadcast the call fails. Unset or empty: every interface.
 *   - VARL_TARGETS: addresses, CIDR ranges of /16 to /32 and directed broadcast addresses,
 *     separated by commas or blanks ("10.80.0.0/24, 10.81.0.7"), for units behind a router.
 *     Discovery and set-config also send their datagram by unicast to each (a range's host
 *     addresses, 4,000 a second at most); discovery's time-out counts from the last of them.
 *     A malformed list or a range wider than /16 fails the call before anything is sent.
 *     Get-config does not read it. Unset or empty: broadcasts only.
 *   - VARL_TRACE=1: one line on standard error for each datagram sent (interface, source
 *     address, length) and received (sender, length, text), for each interface left out and
 *     why, for the receive buffer a discovery got and for each request it sends again after the
 *     kernel dropped replies; for an upload, each FTP command (the password as ***) and reply,
 *     the data connection's mode and addresses, and how the transfer ended. Unset, empty or 0,
 *     the library writes nothing to standard error.
 */
#ifndef VARL_H
#define VARL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(VARL_BUILDING_LIBRARY)
#define VARL_EXPORT __attribute__((visibility("default")))
#else
#define VARL_EXPORT
#endif

typedef unsigned char VarlBool;

/* One unit, 40 bytes, host byte order; arrays of it have no gaps. */
typedef struct DeviceRecord {
    uint32_t serial;      /* at most five hexadecimal digits on the wire */
    uint8_t dhcpMode;     /* 0 static, 1 DHCP; a reply can carry any single digit */
    uint8_t padding[3];   /* no meaning; zero in records filled from a reply */
    uint32_t address;
    uint32_t netMask;
    uint32_t gateway;
    char chipName[20];    /* NUL-terminated, at most 19 characters */
} DeviceRecord;

#ifdef __cplusplus
#define VARL_STATIC_ASSERT static_assert
#else
#define VARL_STATIC_ASSERT _Static_assert
#endif
VARL_STATIC_ASSERT(sizeof(DeviceRecord) == 40, "DeviceRecord crosses the boundary as 40 bytes");
VARL_STATIC_ASSERT(offsetof(DeviceRecord, dhcpMode) == 4, "dhcpMode at offset 4");
VARL_STATIC_ASSERT(offsetof(DeviceRecord, address) == 8, "address at offset 8");
VARL_STATIC_ASSERT(offsetof(DeviceRecord, netMask) == 12, "netMask at offset 12");
VARL_STATIC_ASSERT(offsetof(DeviceRecord, gateway) == 16, "gateway at offset 16");
VARL_STATIC_ASSERT(offsetof(DeviceRecord, chipName) == 20, "chipName at offset 20");
#undef VARL_STATIC_ASSERT

/* ---- Administration ---- */

/* Broadcasts a discovery request and collects replies for timeoutMs milliseconds of counted
 * time: each receive attempt that finds nothing counts 20 ms, and replies are read as they come.
 * When the kernel drops replies for want of room in the receive buffer, the request goes out
 * again once they stop coming, while time remains and units may be missing (10 requests at
 * most); the units answer again and each is still counted once.
 * *count holds the capacity of records on entry and the number of distinct units that answered
 * on a true result, which may exceed the capacity; the first units to answer are copied in order
 * of answer. records may be null to count only. */
VARL_EXPORT VarlBool VARL_Admin_Discover(uint32_t* count, DeviceRecord* records, uint32_t timeoutMs);

/* Reads the first reply to a discovery request into *record; true with the record untouched when
 * nobody answers within timeoutMs. The first argument is ignored. */
VARL_EXPORT VarlBool VARL_Admin_GetConfig(uint32_t ignored, DeviceRecord* record, uint32_t timeoutMs);

/* Broadcasts a set-configuration message naming record->serial; awaits no answer. The first
 * argument is ignored. */
VARL_EXPORT VarlBool VARL_Admin_SetConfig(uint32_t ignored, const DeviceRecord* record);

/* Stores the local file on the unit at address by FTP under remoteName (at most eight characters
 * before the first dot). The third and fifth arguments are ignored. Active mode first; when the
 * unit cannot open that data connection within a few seconds (a firewall on this computer), the
 * file goes once more in passive mode. A transfer that moves is never cut: it fails after 5 s in
 * which the unit took no byte, or without a final reply 5 s after the unit took the last one.
 * A partial file is then deleted where the unit allows it. */
VARL_EXPORT VarlBool VARL_Admin_UploadFile(uint32_t address, const char* localPath, const char* ignored,
                                           const char* remoteName, uint32_t ignored2);

/* ---- Interface version ---- */

/* Writes 1 and 0: interface version 1.0. */
VARL_EXPORT void VARL_DriverCfg_Version(int32_t* first, int32_t* second);

/* ---- Errors ---- */

/* Copies the calling thread's last-error text with its NUL into buffer (at least 77 bytes), then
 * empties it. A null buffer does nothing. */
VARL_EXPORT void VARL_Error_LastErr(char* buffer);

#ifdef __cplusplus
}
#endif

#endif /* VARL_H */
