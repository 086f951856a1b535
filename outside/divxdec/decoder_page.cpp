#include "outside/divxdec/decoder_page.h"

#include <QFormLayout>
#include <QLabel>

#include <new>

namespace outside::divxdec {

namespace {

using namespace platform::com;

QString fourccText(uint32_t fourcc) {
    QString text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((fourcc >> (8 * i)) & 0xFF);
        text += QChar(c >= ' ' && c < 0x7F ? c : '?');
    }
    return text;
}

} // namespace

DecoderPage::DecoderPage(IUnknown* outer) : CBasePropertyPage("DivX decoder page", outer, "Decoder") {}

CUnknown* DecoderPage::CreateInstance(IUnknown* outer, HRESULT* hr) {
    auto* page = new (std::nothrow) DecoderPage(outer);
    if (!page && hr)
        *hr = E_OUTOFMEMORY;
    return page;
}

HRESULT DecoderPage::OnConnect(IUnknown* object) {
    if (!object)
        return E_POINTER;
    return object->QueryInterface(platform::dshow::filters::IID_IVideoDecoderInfo,
                                  reinterpret_cast<void**>(&info_));
}

HRESULT DecoderPage::OnDisconnect() {
    if (info_)
        info_->Release();
    info_ = nullptr;
    return S_OK;
}

void DecoderPage::OnCreateDialog(QWidget* page) {
    platform::dshow::filters::VideoDecoderInfo info;
    if (info_)
        info_->GetDecoderInfo(&info);
    auto* layout = new QFormLayout(page);
    layout->addRow(QStringLiteral("Format :"), new QLabel(fourccText(info.fourcc)));
    layout->addRow(QStringLiteral("Picture :"),
                   new QLabel(QStringLiteral("%1 x %2").arg(info.width).arg(info.height)));
    layout->addRow(QStringLiteral("Frames decoded :"), new QLabel(QString::number(info.framesDecoded)));
    layout->addRow(QStringLiteral("Frames left out :"), new QLabel(QString::number(info.framesFailed)));
}

} // namespace outside::divxdec
