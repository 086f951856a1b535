#pragma once

// The property page of the DivX decoder filter: what it decodes (FourCC, picture size) and how many
// frames it has decoded and left out so far.

#include "platform/dshow/filters/video_decoder_filter.h"
#include "platform/dshow/property_page.h"

class QLabel;

namespace outside::divxdec {

inline constexpr platform::com::CLSID CLSID_DivXDecoderPage =
    platform::com::makeGuid("{A8D2C7F1-5B3E-4E29-9C6A-1F2B3D4E5F60}");

class DecoderPage final : public platform::dshow::CBasePropertyPage {
public:
    explicit DecoderPage(platform::com::IUnknown* outer);
    static platform::com::CUnknown* CreateInstance(platform::com::IUnknown* outer,
                                                   platform::com::HRESULT* hr);

    platform::com::HRESULT OnConnect(platform::com::IUnknown* object) override;
    platform::com::HRESULT OnDisconnect() override;
    void OnCreateDialog(QWidget* page) override;

private:
    platform::dshow::filters::IVideoDecoderInfo* info_ = nullptr; // holds a reference while connected
};

} // namespace outside::divxdec
