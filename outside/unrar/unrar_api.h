#pragma once

// The exports of "unrar.dll": reading the members of a RAR 4 archive (stored members; compressed,
// encrypted and split ones are named but cannot be read). Each call opens and reads the archive
// afresh, so no handle is kept between calls. C linkage; load with dlopen and dlsym.
//
//   int RarListMembers(const char* archive, RarMemberInfo* members, int capacity)
//       Fills up to capacity entries (members may be null when capacity is 0) and returns the number
//       of members of the archive, or -1 when it cannot be read (RarLastError says why).
//   int RarReadMember(const char* archive, const char* member, void* buffer,
//                     unsigned long long capacity, unsigned long long* size)
//       Copies the member's bytes into buffer. *size receives the member's size; when capacity is too
//       small nothing is copied and RAR_SMALL_BUFFER is returned.
//   int RarExtractMember(const char* archive, const char* member, const char* destination)
//       Writes the member to a file, through a temporary file renamed when whole.
//   const char* RarLastError(void)
//       The message of the last failure of the calling thread ("" when the last call succeeded).
//
// Member names are compared without regard to ASCII case, "\" and "/" alike; names are UTF-8 and use
// "/" between folders. Every call returns RAR_OK (0) on success or one of the codes below.

#ifdef __cplusplus
extern "C" {
#endif

enum {
    RAR_OK = 0,
    RAR_CANNOT_OPEN = 1,  // the archive file cannot be read
    RAR_BAD_ARCHIVE = 2,  // not a RAR 4 archive, or a damaged one
    RAR_UNSUPPORTED = 3,  // the member is compressed, encrypted or split across volumes
    RAR_NO_MEMBER = 4,    // no member of that name
    RAR_SMALL_BUFFER = 5, // the buffer is smaller than the member
    RAR_CANNOT_WRITE = 6, // the destination cannot be written
    RAR_BAD_DATA = 7,     // the member's data fails its check
    RAR_BAD_ARGUMENT = 8, // a null pointer where a text is needed
};

enum { RAR_MAX_NAME = 1024 };

typedef struct RarMemberInfo {
    char name[RAR_MAX_NAME]; // cut (and still zero-terminated) when longer
    unsigned long long size;
    int stored;    // 1 when the member can be read
    int directory; // 1 for a folder entry
} RarMemberInfo;

int RarListMembers(const char* archive, RarMemberInfo* members, int capacity);
int RarReadMember(const char* archive, const char* member, void* buffer, unsigned long long capacity,
                  unsigned long long* size);
int RarExtractMember(const char* archive, const char* member, const char* destination);
const char* RarLastError(void);

typedef int (*RarListMembersFn)(const char*, RarMemberInfo*, int);
typedef int (*RarReadMemberFn)(const char*, const char*, void*, unsigned long long, unsigned long long*);
typedef int (*RarExtractMemberFn)(const char*, const char*, const char*);
typedef const char* (*RarLastErrorFn)(void);

#ifdef __cplusplus
}
#endif
