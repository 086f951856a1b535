// Fuzz target of the cover layout files: the input is decoded as a layout, and a decoded layout is
// encoded again and must decode to the same records.
#include "cover/cover_layout.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cover::LayoutFile file;
    if (cover::decodeLayoutFile(kes::fuzz::bytesOf(data, size), file) != cover::LayoutReadStatus::Ok)
        return 0;
    cover::CoverLayout layout = cover::defaultLayout();
    for (int i = 0; i < cover::StoredItemCount; ++i)
        layout.Items[cover::StoredItems[static_cast<size_t>(i)]] = file.Records[static_cast<size_t>(i)];
    layout.LogoX = file.LogoX;
    layout.LogoY = file.LogoY;
    const std::string again = cover::encodeLayoutFile(layout, file.BackgroundName, file.LogoName);
    cover::LayoutFile back;
    if (cover::decodeLayoutFile(again, back) != cover::LayoutReadStatus::Ok)
        std::abort();
    for (size_t i = 0; i < back.Records.size(); ++i) {
        const cover::TCoverItem& a = back.Records[i];
        const cover::TCoverItem& b = file.Records[i];
        if (a.Size != b.Size || a.Style != b.Style || a.Color != b.Color || a.X != b.X || a.Y != b.Y)
            std::abort();
    }
    return 0;
}
