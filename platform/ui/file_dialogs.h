#pragma once

// Open and save dialogs. The filter has the form "Text files|*.txt|All files|*.*" (pairs of a
// description and ";"-separated patterns); filterIndex is 1-based as that form counts pairs.

#include <string>
#include <vector>

namespace platform::ui {

class Form;

class FileDialog {
public:
    virtual ~FileDialog() = default;

    std::string title;
    std::string filter;
    int filterIndex = 1;
    // Appended (with a ".") to a chosen name that has no extension; may be given as "wav", ".wav" or
    // "*.wav".
    std::string defaultExt;
    std::string initialDir;
    // Before execute: the proposed name; after a successful execute: the chosen path.
    std::string fileName;
    // After a successful execute: every chosen path (one unless multiSelect).
    std::vector<std::string> files;
    bool multiSelect = false;
    // The chosen file must exist (open dialogs).
    bool fileMustExist = false;

    // Shows the dialog; true when the user chose a file (fileName and files are then set). Nothing
    // changes on cancel.
    bool execute(Form* owner = nullptr);

protected:
    virtual bool saving() const = 0;
    virtual bool confirmOverwrite() const { return false; }
};

class OpenDialog : public FileDialog {
protected:
    bool saving() const override { return false; }
};

class SaveDialog : public FileDialog {
public:
    // Ask before replacing an existing file.
    bool overwritePrompt = false;

protected:
    bool saving() const override { return true; }
    bool confirmOverwrite() const override { return overwritePrompt; }
};

// Helpers used by the dialogs (exposed for tests): the Qt name filter of a toolkit filter text, and a
// default extension applied to a name.
std::string qtNameFilter(const std::string& filter);
std::string applyDefaultExt(const std::string& path, const std::string& defaultExt);

} // namespace platform::ui
