#pragma once

// Media types: the plain structure handed across interfaces (its format block and its pUnk owned by
// whoever holds it), the task-memory helpers for it, and CMediaType, which owns one.

#include "platform/dshow/types.h"

namespace platform::dshow {

// Frees the format block and releases pUnk, leaving the structure's other fields.
void FreeMediaType(AM_MEDIA_TYPE& type);
// FreeMediaType, then frees the structure itself (task memory).
void DeleteMediaType(AM_MEDIA_TYPE* type);
// Deep copy into target (whose previous contents are not freed); E_OUTOFMEMORY when the format
// block cannot be copied (target then has none).
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// A deep copy in task memory, or nullptr.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    explicit CMediaType(const GUID& major, const GUID& sub = GUID_NULL);
    CMediaType(const AM_MEDIA_TYPE& other);
    CMediaType(const CMediaType& other);
    CMediaType& operator=(const AM_MEDIA_TYPE& other);
    CMediaType& operator=(const CMediaType& other);
    ~CMediaType();

    // Same major type, subtype and format (type and bytes).
    bool operator==(const CMediaType& other) const;

    const GUID* Type() const { return &majortype; }
    const GUID* Subtype() const { return &subtype; }
    const GUID* FormatType() const { return &formattype; }
    void SetType(const GUID* type) { majortype = *type; }
    void SetSubtype(const GUID* type) { subtype = *type; }
    void SetFormatType(const GUID* type) { formattype = *type; }
    // Replaces the format block with a copy of bytes; false when it cannot be allocated.
    bool SetFormat(const BYTE* bytes, ULONG length);
    void ResetFormatBuffer();
    bool IsValid() const { return majortype != GUID_NULL; }
    // The major type or the format type is left open (GUID_NULL): the type is a pattern.
    bool IsPartiallySpecified() const;
    // This type, used as a pattern, accepts other: GUID_NULL fields match anything.
    bool MatchesPartial(const CMediaType* other) const;

private:
    void InitMediaType();
};

} // namespace platform::dshow
