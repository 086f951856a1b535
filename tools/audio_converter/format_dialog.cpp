#include "tools/audio_converter/format_dialog.h"

#include "platform/acm/format_list.h"
#include "platform/ui/application.h"
#include "platform/ui/dialog_script.h"
#include "platform/ui/form.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMainWindow>

namespace tools::audio_converter {

namespace acm = platform::acm;
namespace ui = platform::ui;

namespace {

QString qs(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Finds a choice by its description among every tag's formats.
bool findChoice(const std::string& description, ChosenFormat& chosen) {
    for (uint16_t tag : acm::choosableTags())
        for (const acm::FormatChoice& choice : acm::formatChoices(tag))
            if (choice.description == description) {
                chosen = {choice.format, choice.description, acm::formatTagName(tag)};
                return true;
            }
    return false;
}

void fillAttributes(QComboBox& attributes, uint16_t tag, const acm::WaveFormat& initial) {
    attributes.clear();
    for (const acm::FormatChoice& choice : acm::formatChoices(tag)) {
        attributes.addItem(qs(choice.description));
        if (choice.format == initial)
            attributes.setCurrentIndex(attributes.count() - 1);
    }
}

} // namespace

bool runFormatDialog(const std::string& title, const acm::WaveFormat& initial, ChosenFormat& chosen) {
    std::string answer;
    if (ui::testing::scriptedAnswer(
            "format", title, acm::formatTagName(initial.wFormatTag), "Cancel",
            [](const std::string& a) {
                ChosenFormat probe;
                return a == "Cancel" || findChoice(ui::testing::literalAnswer(a), probe);
            },
            answer))
        return answer != "Cancel" && findChoice(ui::testing::literalAnswer(answer), chosen);

    ui::Application* app = ui::Application::instance();
    QWidget* owner = app != nullptr && app->mainForm() != nullptr ? app->mainForm()->window() : nullptr;
    QDialog dialog(owner);
    dialog.setWindowTitle(qs(title));
    auto* layout = new QFormLayout(&dialog);
    auto* tags = new QComboBox(&dialog);
    auto* attributes = new QComboBox(&dialog);
    const std::vector<uint16_t> tagList = acm::choosableTags();
    for (uint16_t tag : tagList) {
        tags->addItem(qs(acm::formatTagName(tag)));
        if (tag == initial.wFormatTag)
            tags->setCurrentIndex(tags->count() - 1);
    }
    fillAttributes(*attributes, tagList[static_cast<size_t>(std::max(0, tags->currentIndex()))], initial);
    QObject::connect(tags, &QComboBox::currentIndexChanged, &dialog, [&](int index) {
        fillAttributes(*attributes, tagList[static_cast<size_t>(std::max(0, index))], initial);
    });
    layout->addRow(QObject::tr("Format:"), tags);
    layout->addRow(QObject::tr("Attributes:"), attributes);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted || attributes->currentIndex() < 0)
        return false;
    const QByteArray text = attributes->currentText().toUtf8();
    return findChoice(std::string(text.constData(), static_cast<size_t>(text.size())), chosen);
}

} // namespace tools::audio_converter
