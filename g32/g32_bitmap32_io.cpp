// Loading, saving, assignment and the binary "Data" stream of TBitmap32.

#include "g32/g32_bitmap32.h"

#include "platform/gdi/graphic.h"

#include <cstring>

namespace g32 {

namespace {

constexpr std::size_t BytesPerPixel = 4;
constexpr std::size_t SizeFieldBytes = 4;
constexpr int ByteBits = 8;

void put32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((v >> (i * ByteBits)) & 0xFF));
}

std::int32_t take32(std::string_view& in) {
    if (in.size() < SizeFieldBytes)
        throw EBitmapError(StreamReadErrorText);
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < SizeFieldBytes; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[i])) << (i * ByteBits);
    in.remove_prefix(SizeFieldBytes);
    return static_cast<std::int32_t>(v);
}

// Keeps an update open for the length of a scope, even when an exception leaves it.
class UpdateScope {
public:
    explicit UpdateScope(TThreadPersistent& target) : target_(target) { target_.BeginUpdate(); }
    ~UpdateScope() { target_.EndUpdate(); }
    UpdateScope(const UpdateScope&) = delete;
    UpdateScope& operator=(const UpdateScope&) = delete;

private:
    TThreadPersistent& target_;
};

} // namespace

void TBitmap32::BlockCopyFrom(const platform::gdi::DeviceContext& Source, int SourceWidth, int SourceHeight) {
    platform::gdi::bitBlt(*FHDC, 0, 0, SourceWidth, SourceHeight, Source, 0, 0);
}

void TBitmap32::Assign(const TBitmap32* Source) {
    {
        UpdateScope update(*this);
        if (!Source) {
            SetSize(0, 0);
        } else if (Source != this) {
            SetSize(Source->Width(), Source->Height());
            if (!Empty()) {
                BlockCopyFrom(*Source->FHDC, Width(), Height());
                FDrawMode = Source->FDrawMode;
                FMasterAlpha = Source->FMasterAlpha;
                OuterColor = Source->OuterColor;
                FStretchFilter = Source->FStretchFilter;
            }
        }
    }
    Changed();
}

void TBitmap32::Assign(const platform::gdi::Bitmap* Source) {
    {
        UpdateScope update(*this);
        if (!Source) {
            SetSize(0, 0);
        } else {
            SetSize(Source->width(), Source->height());
            if (!Empty()) {
                BlockCopyFrom(Source->canvas(), Width(), Height());
                if (Source->pixelFormat() != platform::gdi::PixelFormat::Bits32)
                    MakeOpaque();
            }
        }
    }
    Changed();
}

void TBitmap32::Assign(const platform::gdi::Graphic* Source) {
    if (const auto* bitmap = dynamic_cast<const platform::gdi::Bitmap*>(Source)) {
        Assign(bitmap);
        return;
    }
    {
        UpdateScope update(*this);
        if (!Source) {
            SetSize(0, 0);
        } else {
            SetSize(Source->width(), Source->height());
            if (!Empty()) {
                Source->draw(*FHDC, {0, 0, Width(), Height()});
                MakeOpaque();
            }
        }
    }
    Changed();
}

void TBitmap32::Assign(const platform::gdi::Picture* Source) {
    Assign(Source ? Source->graphic() : nullptr);
}

void TBitmap32::AssignTo(platform::gdi::Bitmap& Dest) const {
    Dest.setPixelFormat(platform::gdi::PixelFormat::Bits32);
    Dest.setSize(Width(), Height());
    if (!Empty())
        platform::gdi::bitBlt(Dest.canvas(), 0, 0, Width(), Height(), *FHDC, 0, 0);
}

void TBitmap32::LoadFromFile(const std::string& FileName) {
    platform::gdi::Picture picture;
    picture.loadFromFile(FileName);
    Assign(&picture);
}

void TBitmap32::SaveToFile(const std::string& FileName) {
    platform::gdi::Bitmap bitmap;
    AssignTo(bitmap);
    bitmap.saveToFile(FileName);
}

void TBitmap32::WriteData(std::string& Stream) const {
    put32(Stream, static_cast<std::uint32_t>(Width()));
    put32(Stream, static_cast<std::uint32_t>(Height()));
    const std::size_t bytes = static_cast<std::size_t>(Width()) * Height() * BytesPerPixel;
    const std::size_t at = Stream.size();
    Stream.resize(at + bytes);
    if (bytes > 0)
        std::memcpy(Stream.data() + at, FBits, bytes);
}

void TBitmap32::ReadData(std::string_view& Stream) {
    std::string_view in = Stream;
    const std::int32_t w = take32(in);
    const std::int32_t h = take32(in);
    // The pixels must all be there before the bitmap is resized for them.
    const std::size_t bytes =
        w > 0 && h > 0 ? static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * BytesPerPixel : 0;
    if (in.size() < bytes)
        throw EBitmapError(StreamReadErrorText);
    SetSize(w, h);
    if (bytes > 0)
        std::memcpy(FBits, in.data(), bytes);
    in.remove_prefix(bytes);
    Stream = in;
    Changed();
}

bool TBitmap32::Equals(const TBitmap32& Other) const {
    if (Empty() && Other.Empty())
        return true;
    if (Empty() || Other.Empty())
        return false;
    platform::gdi::Bitmap mine;
    platform::gdi::Bitmap theirs;
    AssignTo(mine);
    Other.AssignTo(theirs);
    return mine.saveToBytes() == theirs.saveToBytes();
}

bool TBitmap32::DataNeeded(const TBitmap32* Ancestor) const {
    if (!Ancestor)
        return !Empty();
    return !Equals(*Ancestor);
}

} // namespace g32
