#pragma once

// The image's list of layers. No layer class exists in this system, so the list stays empty; the
// collection keeps its update bracket, hit testing and mouse routing as hooks.

#include "g32/g32_bitmap32.h"
#include "g32/g32_persistent.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace g32 {

constexpr std::uint32_t LOB_MOUSE_EVENTS = 0x20000000; // the layer takes mouse events
constexpr std::uint32_t LOB_GDI_OVERLAY = 0x40000000;  // the layer paints on the window after the buffer

class TLayerCollection;

class TCustomLayer {
public:
    explicit TCustomLayer(TLayerCollection* Owner) : FOwner(Owner) {}
    virtual ~TCustomLayer() = default;
    TCustomLayer(const TCustomLayer&) = delete;
    TCustomLayer& operator=(const TCustomLayer&) = delete;

    std::uint32_t LayerOptions = 0;
    virtual bool HitTest(int /*X*/, int /*Y*/) { return false; }
    virtual void Paint(TBitmap32& /*Buffer*/) {}
    // A copy for TLayerCollection::Assign.
    virtual std::unique_ptr<TCustomLayer> Clone(TLayerCollection* Owner) const = 0;

protected:
    TLayerCollection* FOwner;
};

class TLayerCollection {
public:
    TLayerCollection() = default;
    ~TLayerCollection();
    TLayerCollection(const TLayerCollection&) = delete;
    TLayerCollection& operator=(const TLayerCollection&) = delete;

    template <class Layer>
    Layer* Add() {
        BeginUpdate();
        auto layer = std::make_unique<Layer>(this);
        Layer* raw = layer.get();
        FItems.push_back(std::move(layer));
        EndUpdate();
        return raw;
    }
    void Assign(const TLayerCollection& Source);
    void Clear();
    int Count() const { return static_cast<int>(FItems.size()); }
    TCustomLayer* Items(int Index) const { return FItems.at(static_cast<std::size_t>(Index)).get(); }

    void BeginUpdate();
    // An unpaired call throws EAssertionFailed("Unpaired EndUpdate").
    void EndUpdate();

    // The topmost layer whose options share a bit with the mask and whose hit test takes (X, Y).
    TCustomLayer* LayerAt(int X, int Y, std::uint32_t OptionsMask = 0xFFFFFFFF) const;
    // Route a mouse event to the listener or to the layer under the mouse; the layer, or null.
    TCustomLayer* MouseDown(int X, int Y);
    TCustomLayer* MouseMove(int X, int Y);
    TCustomLayer* MouseUp(int X, int Y);
    TCustomLayer* MouseListener() const { return FMouseListener; }

    bool MouseEvents = true;
    TNotifyEvent OnChanging;  // before the first change
    TNotifyEvent OnChange;    // after the last change
    TNotifyEvent OnGDIUpdate; // an overlay changed
    TNotifyEvent OnMouseMiss; // a move found no layer (the owner sets its cursor)

private:
    std::vector<std::unique_ptr<TCustomLayer>> FItems;
    TCustomLayer* FMouseListener = nullptr;
    int FUpdateCount = 0;
};

} // namespace g32
