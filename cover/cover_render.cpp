#include "cover/cover_render.h"

#include "g32/g32_transforms.h"
#include "platform/core/text.h"

#include <algorithm>

namespace cover {

namespace gdi = platform::gdi;

namespace {

constexpr float QuarterTurn = 90.0f;
constexpr float ThreeQuarterTurn = 270.0f;

// Positions far outside any page are held there, so that text drawn at them cannot overflow.
constexpr long double FarOffPage = 1 << 28;

int scaled(int value, double scale) {
    const long double v = std::clamp(static_cast<long double>(value) * scale, -FarOffPage, FarOffPage);
    return static_cast<int>(platform::core::truncToInt(v));
}

struct LabelledItem {
    CoverItemIndex item;
    const std::string* label;
    const std::string* text;
};

} // namespace

void setItemFont(g32::TBitmap32& target, const TCoverItem& item, double scale) {
    gdi::Font& font = target.Font();
    font.size = scaled(item.Size, scale);
    font.style = gdi::FontStyle{(item.Style & StyleBold) != 0, (item.Style & StyleItalic) != 0,
                                (item.Style & StyleUnderline) != 0, (item.Style & StyleStrikeOut) != 0};
    font.color = item.Color;
    font.name = item.FontName;
}

void drawBackItems(g32::TBitmap32& target, const CoverLayout& layout, const BackTexts& texts,
                   const BackLabels& labels, const BackDrawing& drawing) {
    const double s = drawing.Scale;
    const auto at = [&](CoverItemIndex index) -> const TCoverItem& {
        return layout.Items[static_cast<std::size_t>(index)];
    };

    const TCoverItem& title = at(ciTitle);
    setItemFont(target, title, s);
    target.Textout(scaled(title.X, s), scaled(title.Y, s), texts.Title);

    const LabelledItem labelled[] = {
        {ciRuntime, &labels.Runtime, &texts.Runtime},    {ciGenre, &labels.Genre, &texts.Genre},
        {ciRipDesc, &labels.RipDesc, &texts.RipDesc},    {ciSubtitle, &labels.Subtitle, &texts.Subtitle},
        {ciLanguage, &labels.Language, &texts.Language},
    };
    for (const LabelledItem& entry : labelled) {
        if (entry.text->empty())
            continue;
        const TCoverItem& item = at(entry.item);
        setItemFont(target, item, s);
        const int x = scaled(item.X, s);
        const int y = scaled(item.Y, s);
        if (drawing.Justify) {
            target.Textout(x, y, *entry.label);
            const int right = scaled(drawing.RightColumn, s);
            target.Textout(right - target.TextWidth(*entry.text), y, *entry.text);
        } else {
            target.Textout(x, y, *entry.label + " " + *entry.text);
        }
    }

    bool anyComment = false;
    for (const std::string& line : texts.Comments)
        anyComment = anyComment || !line.empty();
    if (!anyComment)
        return;
    const TCoverItem& comments = at(ciComments);
    setItemFont(target, comments, s);
    const int x = scaled(comments.X, s);
    const int y = scaled(comments.Y, s);
    // The gap grows with the font, so that printed lines keep the preview's spacing.
    const int step = scaled(comments.Size, s) + scaled(CommentLineGap, s);
    target.Textout(x, y, labels.Comments);
    for (int k = 1; k <= CommentLineCount; ++k)
        target.Textout(x, y + k * step, texts.Comments[static_cast<std::size_t>(k - 1)]);
}

void drawSpine(g32::TBitmap32& scratch, g32::TBitmap32& spine, std::string_view title,
               const SpineDrawing& d) {
    scratch.Clear(White32);
    scratch.Textout(d.TextX, 0, title);
    g32::TAffineTransformation transformation;
    transformation.SetSrcRect(
        g32::FloatRect(0, 0, static_cast<float>(d.Square), static_cast<float>(d.Square)));
    transformation.Clear();
    const float centre = static_cast<float>(d.Square / 2);
    if (d.DownUp) {
        transformation.Rotate(centre, centre, QuarterTurn);
    } else {
        transformation.Rotate(centre, centre, ThreeQuarterTurn);
        transformation.Translate(d.ShiftX, 0);
    }
    g32::Transform(&spine, &scratch, &transformation);
}

} // namespace cover
