#pragma once

// The preview: the title plays at the chosen resize and crop, which the user changes with the boxes
// below the picture; "OK" confirms them (the caller then writes "m2a.bat"), "Cancel" or closing the
// window leaves nothing.

#include "outside/mpeg2avi/adjust_file.h"
#include "outside/mpeg2avi/options.h"
#include "platform/ui/ui.h"

#include <memory>
#include <string>

struct AVFrame;

namespace mpeg2avi {

class Mpeg2Source;
class PictureFilter;

// The resize and crop values the preview starts with: the line's.
AdjustValues startValues(const ConvertOptions& options);

class PreviewWindow : public platform::ui::Form {
public:
    PreviewWindow(const ConvertOptions& options, Mpeg2Source& source);
    ~PreviewWindow() override;

    AdjustValues values() const;
    void setValues(const AdjustValues& values);
    bool confirmed() const { return confirmed_; }
    // Shows the next picture of the title; false at its end.
    bool showNextPicture();
    const QImage& picture() const { return Picture.picture(); }

private:
    void layOut();
    void rebuildFilter();
    void OkClick();
    void PlayClick();

    ConvertOptions options_;
    Mpeg2Source& source_;
    std::unique_ptr<PictureFilter> filter_;
    AVFrame* decoded_ = nullptr;
    AVFrame* filtered_ = nullptr;
    bool confirmed_ = false;
    bool rebuilding_ = false;

    platform::ui::Image Picture{*this};
    platform::ui::CheckBox ResizeX{*this, "Resize X"};
    platform::ui::Edit XSize{*this};
    platform::ui::CheckBox ResizeY{*this, "Resize Y"};
    platform::ui::Edit YSize{*this};
    platform::ui::CheckBox CropBox{*this, "Crop"};
    platform::ui::Edit XCrop{*this};
    platform::ui::Edit YCrop{*this};
    platform::ui::Button Play{*this, "Pause"};
    platform::ui::Button OkButton{*this, "OK"};
    platform::ui::Button CancelButton{*this, "Cancel"};
    platform::ui::Timer Frames{40};
};

} // namespace mpeg2avi
