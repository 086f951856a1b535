#include "platform/ui/file_dialogs.h"

#include "platform/ui/dialog_script.h"
#include "platform/ui/form.h"
#include "platform/ui/qt_text.h"

#include <QApplication>
#include <QFileDialog>
#include <QMainWindow>

namespace platform::ui {

using detail::qs;
using detail::ss;

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t pos = text.find(separator); pos != std::string::npos;
         pos = text.find(separator, start)) {
        parts.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

// "wav", ".wav" and "*.wav" all give "wav".
std::string bareExtension(const std::string& ext) {
    std::size_t start = 0;
    while (start < ext.size() && (ext[start] == '*' || ext[start] == '.'))
        ++start;
    return ext.substr(start);
}

} // namespace

std::string qtNameFilter(const std::string& filter) {
    if (filter.empty())
        return {};
    const std::vector<std::string> parts = split(filter, '|');
    std::string result;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns;
        for (const std::string& pattern : split(parts[i + 1], ';')) {
            if (pattern.empty())
                continue;
            if (!patterns.empty())
                patterns += ' ';
            // "*.*" meant every file, with or without a dot.
            patterns += pattern == "*.*" ? std::string("*") : pattern;
        }
        if (!result.empty())
            result += ";;";
        result += parts[i] + " (" + patterns + ")";
    }
    return result;
}

std::string applyDefaultExt(const std::string& path, const std::string& defaultExt) {
    const std::string ext = bareExtension(defaultExt);
    if (ext.empty() || path.empty())
        return path;
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name.find('.') != std::string::npos)
        return path;
    return path + "." + ext;
}

bool FileDialog::execute(Form* owner) {
    std::string scripted;
    const char* kind = saving() ? "save" : "open";
    const auto accepts = [](const std::string& answer) { return !testing::literalAnswer(answer).empty(); };
    if (testing::scriptedAnswer(kind, title, initialDir, "Cancel", accepts, scripted)) {
        if (scripted == "Cancel")
            return false;
        files.clear();
        for (const std::string& path : split(testing::literalAnswer(scripted), '\n'))
            if (!path.empty())
                files.push_back(applyDefaultExt(path, defaultExt));
        if (files.empty())
            return false;
        fileName = files.front();
        return true;
    }

    QWidget* parent = owner && owner->window() ? owner->window() : QApplication::activeWindow();
    QFileDialog dialog(parent, qs(title), qs(initialDir), qs(qtNameFilter(filter)));
    dialog.setAcceptMode(saving() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (saving())
        dialog.setFileMode(QFileDialog::AnyFile);
    else if (multiSelect)
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else
        dialog.setFileMode(fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !confirmOverwrite());
    dialog.setDefaultSuffix(qs(bareExtension(defaultExt)));
    const QStringList nameFilters = dialog.nameFilters();
    if (filterIndex >= 1 && filterIndex <= nameFilters.size())
        dialog.selectNameFilter(nameFilters.at(filterIndex - 1));
    if (!fileName.empty())
        dialog.selectFile(qs(fileName));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    files.clear();
    for (const QString& path : dialog.selectedFiles())
        files.push_back(ss(path));
    if (files.empty())
        return false;
    fileName = files.front();
    filterIndex = static_cast<int>(nameFilters.indexOf(dialog.selectedNameFilter())) + 1;
    return true;
}

} // namespace platform::ui
