#include "platform/vfw/compressor_windows.h"

#include "platform/ui/dialogs.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace platform::vfw {

namespace {

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

SettingsWindow::SettingsWindow(CompressorDialog& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
    setWindowTitle(QStringLiteral("Codec settings"));
    auto* layout = new QVBoxLayout(this);
    form_ = new QFormLayout();
    layout->addLayout(form_);
    for (const CodecControl& control : dialog_.controls()) {
        QWidget* widget = nullptr;
        if (control.id.rfind("CB", 0) == 0) {
            auto* combo = new QComboBox(this);
            for (const std::string& item : control.items)
                combo->addItem(qt(item));
            widget = combo;
        } else if (control.id.rfind("SB", 0) == 0) {
            auto* slider = new QSlider(Qt::Horizontal, this);
            slider->setObjectName(qt(control.id));
            slider->setRange(control.minimum, control.maximum);
            auto* value = new QLabel(this);
            connect(slider, &QSlider::valueChanged, value, [value](int v) { value->setNum(v); });
            auto* row = new QWidget(this);
            auto* rowLayout = new QHBoxLayout(row);
            rowLayout->setContentsMargins(0, 0, 0, 0);
            rowLayout->addWidget(slider);
            rowLayout->addWidget(value);
            form_->addRow(qt(control.label), row);
            fields_.emplace_back(control, slider);
            continue;
        } else {
            widget = new QLineEdit(this);
        }
        widget->setObjectName(qt(control.id));
        form_->addRow(qt(control.label), widget);
        fields_.emplace_back(control, widget);
    }
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    layout->addWidget(ok);
    connect(ok, &QPushButton::clicked, this, &SettingsWindow::okClicked);
    refresh();
}

void SettingsWindow::refresh() {
    const std::vector<CodecControl> now = dialog_.controls();
    for (auto& [control, widget] : fields_) {
        for (const CodecControl& c : now) {
            if (c.id != control.id)
                continue;
            const QSignalBlocker block(widget);
            if (auto* combo = qobject_cast<QComboBox*>(widget))
                combo->setCurrentText(qt(c.value));
            else if (auto* slider = qobject_cast<QSlider*>(widget))
                slider->setValue(QString::fromStdString(c.value).toInt());
            else if (auto* edit = qobject_cast<QLineEdit*>(widget))
                edit->setText(qt(c.value));
        }
    }
}

void SettingsWindow::okClicked() {
    // Every value is read before any is set: each set refreshes the window from the codec.
    std::vector<std::pair<std::string, std::string>> values;
    for (auto& [control, widget] : fields_) {
        std::string value;
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            value = combo->currentText().toStdString();
        else if (auto* slider = qobject_cast<QSlider*>(widget))
            value = std::to_string(slider->value());
        else if (auto* edit = qobject_cast<QLineEdit*>(widget))
            value = edit->text().toStdString();
        values.emplace_back(control.id, value);
    }
    for (const auto& [id, value] : values) {
        std::string error;
        if (!dialog_.setControl(id, value, error)) {
            platform::ui::warningBox(error, windowTitle().toStdString());
            return;
        }
    }
    dialog_.closeSettings();
}

ChooserWindow::ChooserWindow(CompressorDialog& dialog) : dialog_(dialog) {
    setWindowTitle(QStringLiteral("Video Compression"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Compressor:"), this));
    codecs_ = new QComboBox(this);
    for (const CompressorInfo& codec : dialog_.codecs())
        codecs_->addItem(qt(codec.description));
    layout->addWidget(codecs_);
    auto* buttons = new QHBoxLayout();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* configure = new QPushButton(QStringLiteral("Configure..."), this);
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(configure);
    layout->addLayout(buttons);
    connect(codecs_, &QComboBox::currentIndexChanged, this, [this](int index) {
        std::string error;
        if (index >= 0 && !dialog_.choose(index, error))
            report(error);
    });
    connect(configure, &QPushButton::clicked, this, &ChooserWindow::configureClicked);
    connect(ok, &QPushButton::clicked, this, &ChooserWindow::okClicked);
    connect(cancel, &QPushButton::clicked, this, [this] { dialog_.cancel(); });
    refresh();
}

ChooserWindow::~ChooserWindow() = default;

void ChooserWindow::refresh() {
    {
        const QSignalBlocker block(codecs_);
        codecs_->setCurrentIndex(dialog_.chosen());
    }
    if (dialog_.settingsOpen() && !settings_) {
        settings_ = new SettingsWindow(dialog_, this);
        settings_->setAttribute(Qt::WA_DeleteOnClose);
        connect(settings_, &QDialog::rejected, this, [this] { dialog_.closeSettings(); });
        settings_->show();
    } else if (!dialog_.settingsOpen() && settings_) {
        SettingsWindow* window = settings_;
        settings_ = nullptr;
        window->close();
    } else if (settings_) {
        settings_->refresh();
    }
    setEnabled(true);
}

void ChooserWindow::configureClicked() {
    std::string error;
    if (!dialog_.configure(error))
        report(error);
}

void ChooserWindow::okClicked() {
    std::string error;
    if (!dialog_.accept(error))
        report(error);
}

void ChooserWindow::report(const std::string& error) {
    platform::ui::warningBox(error, windowTitle().toStdString());
}

void ChooserWindow::closeEvent(QCloseEvent* event) {
    if (dialog_.outcome() == CompressorDialog::Outcome::Open)
        dialog_.cancel();
    event->accept();
}

} // namespace platform::vfw
