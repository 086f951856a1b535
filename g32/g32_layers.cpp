#include "g32/g32_layers.h"

namespace g32 {

namespace {
constexpr const char* UnpairedText = "Unpaired EndUpdate";
} // namespace

TLayerCollection::~TLayerCollection() {
    FMouseListener = nullptr;
    FItems.clear();
}

void TLayerCollection::Assign(const TLayerCollection& Source) {
    if (&Source == this)
        return;
    BeginUpdate();
    FMouseListener = nullptr;
    while (!FItems.empty())
        FItems.pop_back();
    for (const auto& item : Source.FItems)
        FItems.push_back(item->Clone(this));
    EndUpdate();
}

void TLayerCollection::Clear() {
    BeginUpdate();
    FMouseListener = nullptr;
    while (!FItems.empty())
        FItems.pop_back(); // the last first
    EndUpdate();
}

void TLayerCollection::BeginUpdate() {
    if (FUpdateCount++ == 0 && OnChanging)
        OnChanging();
}

void TLayerCollection::EndUpdate() {
    if (FUpdateCount < 1)
        throw EAssertionFailed(UnpairedText);
    if (--FUpdateCount == 0 && OnChange)
        OnChange();
}

TCustomLayer* TLayerCollection::LayerAt(int X, int Y, std::uint32_t OptionsMask) const {
    for (auto it = FItems.rbegin(); it != FItems.rend(); ++it)
        if (((*it)->LayerOptions & OptionsMask) != 0 && (*it)->HitTest(X, Y))
            return it->get();
    return nullptr;
}

TCustomLayer* TLayerCollection::MouseDown(int X, int Y) {
    if (!FMouseListener)
        FMouseListener = LayerAt(X, Y, LOB_MOUSE_EVENTS);
    return FMouseListener;
}

TCustomLayer* TLayerCollection::MouseMove(int X, int Y) {
    TCustomLayer* layer = FMouseListener ? FMouseListener : LayerAt(X, Y, LOB_MOUSE_EVENTS);
    if (!layer && OnMouseMiss)
        OnMouseMiss();
    return layer;
}

TCustomLayer* TLayerCollection::MouseUp(int X, int Y) {
    TCustomLayer* layer = FMouseListener ? FMouseListener : LayerAt(X, Y, LOB_MOUSE_EVENTS);
    FMouseListener = nullptr;
    return layer;
}

} // namespace g32
