#include "outside/dvobsub/settings_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QSpinBox>

#include <new>

namespace outside::dvobsub {

namespace {
constexpr int kMaxShift = 90;
}

SettingsPage::SettingsPage(IUnknown* outer) : CBasePropertyPage("DirectVobSub page", outer, "Subtitles") {}

CUnknown* SettingsPage::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* page = new (std::nothrow) SettingsPage(outer);
    if (!page && hr)
        *hr = E_OUTOFMEMORY;
    return page;
}

HRESULT SettingsPage::OnConnect(IUnknown* object) {
    if (!object)
        return E_POINTER;
    return object->QueryInterface(IID_ISubtitleSettings, reinterpret_cast<void**>(&settings_));
}

HRESULT SettingsPage::OnDisconnect() {
    if (settings_)
        settings_->Release();
    settings_ = nullptr;
    return S_OK;
}

void SettingsPage::OnCreateDialog(QWidget* page) {
    SubtitleSettings current;
    std::vector<std::pair<std::string, int>> languages;
    if (settings_) {
        settings_->GetSettings(&current);
        settings_->GetLanguages(&languages);
    }
    auto* layout = new QFormLayout(page);
    language_ = new QComboBox(page);
    language_->addItem(QStringLiteral("Default of the index"), -1);
    for (const auto& [id, index] : languages)
        language_->addItem(QString::fromStdString(id), index);
    language_->setCurrentIndex(std::max(0, language_->findData(current.language)));
    hidden_ = new QCheckBox(QStringLiteral("Hide subtitles"), page);
    hidden_->setChecked(current.hidden);
    shift_ = new QSpinBox(page);
    shift_->setRange(0, kMaxShift);
    shift_->setSuffix(QStringLiteral(" %"));
    shift_->setValue(current.shiftPercent);
    layout->addRow(QStringLiteral("Language :"), language_);
    layout->addRow(QString(), hidden_);
    layout->addRow(QStringLiteral("Move up by :"), shift_);
    QObject::connect(language_, &QComboBox::currentIndexChanged, page, [this] { SetDirty(); });
    QObject::connect(hidden_, &QCheckBox::toggled, page, [this] { SetDirty(); });
    QObject::connect(shift_, &QSpinBox::valueChanged, page, [this] { SetDirty(); });
}

HRESULT SettingsPage::OnApplyChanges() {
    if (!settings_ || !language_ || !hidden_ || !shift_)
        return S_OK;
    SubtitleSettings chosen;
    chosen.language = language_->currentData().toInt();
    chosen.hidden = hidden_->isChecked();
    chosen.shiftPercent = shift_->value();
    return settings_->SetSettings(&chosen);
}

} // namespace outside::dvobsub
