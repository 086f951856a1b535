#pragma once

// The filter's about page: maker, filter name, build date and author, with two links that open the
// program folder's README.

#include "platform/dshow/property_page.h"

#include <string>

namespace quillon {

inline constexpr char kAboutTitle[] = "About";
inline constexpr char kAuthorText[] = "The Quillon developers";

class AboutPage final : public platform::dshow::CBasePropertyPage {
public:
    explicit AboutPage(platform::com::IUnknown* outer);

    static platform::com::CUnknown* CreateInstance(platform::com::IUnknown* outer,
                                                   platform::com::HRESULT* hr);

    void OnCreateDialog(QWidget* page) override;
    platform::com::HRESULT Help(platform::com::LPCOLESTR) override { return platform::com::E_NOTIMPL; }
    platform::com::HRESULT TranslateAccelerator(void*) override { return platform::com::E_NOTIMPL; }

    // README.md in the program folder: the folder above the one that holds this module.
    static std::string readmePath();
};

} // namespace quillon
