#pragma once

// The Qt windows of the compressor chooser and the settings window over a CompressorDialog.

#include "platform/vfw/compressor_dialog.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QFormLayout;
class QWidget;

namespace platform::vfw {

class SettingsWindow : public QDialog {
public:
    SettingsWindow(CompressorDialog& dialog, QWidget* parent);
    // Shows the dialog's current control values.
    void refresh();

private:
    void okClicked();

    CompressorDialog& dialog_;
    QFormLayout* form_ = nullptr;
    std::vector<std::pair<CodecControl, QWidget*>> fields_;
};

class ChooserWindow : public QDialog {
public:
    explicit ChooserWindow(CompressorDialog& dialog);
    ~ChooserWindow() override;
    // Shows the dialog's state: the chosen codec, the settings window open or closed.
    void refresh();
    void showMessage(const std::string& text) { report(text); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void configureClicked();
    void okClicked();
    void report(const std::string& error);

    CompressorDialog& dialog_;
    QComboBox* codecs_ = nullptr;
    SettingsWindow* settings_ = nullptr;
};

} // namespace platform::vfw
