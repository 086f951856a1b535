#pragma once

// The subtitle filter's property page: the language shown, subtitles on or off, and how far up the
// picture they are moved.

#include "outside/dvobsub/subtitle_filter.h"

#include "platform/dshow/property_page.h"

#include <QPointer>

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace outside::dvobsub {

class SettingsPage final : public CBasePropertyPage {
public:
    explicit SettingsPage(IUnknown* outer);
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* hr);

    HRESULT OnConnect(IUnknown* object) override;
    HRESULT OnDisconnect() override;
    HRESULT OnApplyChanges() override;
    void OnCreateDialog(QWidget* page) override;

private:
    ISubtitleSettings* settings_ = nullptr; // holds a reference while connected
    QPointer<QComboBox> language_;
    QPointer<QCheckBox> hidden_;
    QPointer<QSpinBox> shift_;
};

} // namespace outside::dvobsub
