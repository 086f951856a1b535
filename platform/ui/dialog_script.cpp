#include "platform/ui/dialog_script.h"

#include "platform/core/files.h"
#include "platform/core/text.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace platform::ui::testing {

namespace {

DialogScript* current = nullptr;

// The script of a child process, read once from KESTROVA_UI_SCRIPT.
struct EnvironmentScript {
    bool loaded = false;
    std::vector<std::string> answers;
    std::size_t next = 0;
};

EnvironmentScript& environmentScript() {
    static EnvironmentScript script;
    if (!script.loaded) {
        script.loaded = true;
        if (const char* path = std::getenv(ScriptEnv); path && *path) {
            if (const auto text = platform::core::readFile(path, MaxScriptFileBytes))
                script.answers = parseScriptText(*text);
        }
    }
    return script;
}

bool environmentActive() {
    const char* script = std::getenv(ScriptEnv);
    const char* log = std::getenv(LogEnv);
    return (script && *script) || (log && *log);
}

bool headlessPlatform() {
    if (!QGuiApplication::instance())
        return true;
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

void appendToLog(const ShownBox& box) {
    const char* path = std::getenv(LogEnv);
    if (!path || !*path)
        return;
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << platform::core::escapeLine(box.kind) << '\t' << platform::core::escapeLine(box.caption) << '\t'
        << platform::core::escapeLine(box.text) << '\t' << platform::core::escapeLine(box.answer) << '\n';
    out.flush();
    if (!out)
        std::fprintf(stderr, "Cannot write the dialog log %s\n", path);
}

} // namespace

DialogScript::DialogScript() : previous_(current) {
    current = this;
}

DialogScript::DialogScript(std::vector<std::string> answers) : DialogScript() {
    answers_ = std::move(answers);
}

DialogScript::~DialogScript() {
    if (current == this)
        current = previous_;
}

void DialogScript::answer(const std::string& answer) {
    answers_.push_back(answer);
}

int DialogScript::pendingAnswers() const {
    return static_cast<int>(answers_.size() - next_);
}

std::vector<std::string> DialogScript::texts(const std::string& kind) const {
    std::vector<std::string> result;
    for (const ShownBox& box : shown_)
        if (box.kind == kind)
            result.push_back(box.text);
    return result;
}

bool DialogScript::takeAnswer(std::string& answer) {
    if (next_ >= answers_.size())
        return false;
    answer = answers_[next_++];
    return true;
}

bool writeScriptFile(const std::string& path, const std::vector<std::string>& answers) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& answer : answers)
        out << platform::core::escapeLine(answer) << '\n';
    out.flush();
    return static_cast<bool>(out);
}

std::vector<std::string> parseScriptText(std::string_view text) {
    std::vector<std::string> answers;
    for (const std::string& line : platform::core::splitLines(text))
        answers.push_back(platform::core::unescapeLine(line));
    return answers;
}

std::vector<ShownBox> parseLogText(std::string_view text) {
    std::vector<ShownBox> boxes;
    for (const std::string& line : platform::core::splitLines(text)) {
        std::vector<std::string> fields;
        std::size_t start = 0;
        for (std::size_t tab = line.find('\t'); tab != std::string::npos; tab = line.find('\t', start)) {
            fields.push_back(platform::core::unescapeLine(line.substr(start, tab - start)));
            start = tab + 1;
        }
        fields.push_back(platform::core::unescapeLine(line.substr(start)));
        fields.resize(4);
        boxes.push_back(ShownBox{fields[0], fields[1], fields[2], fields[3]});
    }
    return boxes;
}

std::vector<ShownBox> readLogFile(const std::string& path) {
    const auto text = platform::core::readFile(path, MaxScriptFileBytes);
    return text ? parseLogText(*text) : std::vector<ShownBox>{};
}

bool scriptActive() {
    return current || environmentActive() || headlessPlatform();
}

bool scriptGiven() {
    return current || environmentActive();
}

bool scriptedAnswer(const std::string& kind, const std::string& caption, const std::string& text,
                    const std::string& defaultAnswer, std::string& answer) {
    return scriptedAnswer(kind, caption, text, defaultAnswer, nullptr, answer);
}

bool scriptedAnswer(const std::string& kind, const std::string& caption, const std::string& text,
                    const std::string& defaultAnswer, const std::function<bool(const std::string&)>& accepts,
                    std::string& answer) {
    std::string taken;
    bool have = false;
    if (current) {
        have = current->takeAnswer(taken);
    } else if (environmentActive()) {
        EnvironmentScript& script = environmentScript();
        if (script.next < script.answers.size()) {
            taken = script.answers[script.next++];
            have = true;
        }
    } else if (headlessPlatform()) {
        std::fprintf(stderr, "No display for the %s box \"%s\": answered %s\n", kind.c_str(), text.c_str(),
                     defaultAnswer.c_str());
    } else {
        return false;
    }
    answer = have && (!accepts || accepts(taken)) ? taken : defaultAnswer;
    const ShownBox box{kind, caption, text, answer};
    if (current)
        current->record(box);
    else
        appendToLog(box);
    return true;
}

std::string literalAnswer(const std::string& answer) {
    return !answer.empty() && answer.front() == '=' ? answer.substr(1) : answer;
}

void correctLastAnswer(const std::string& answer) {
    if (current)
        current->setLastAnswer(answer);
}

} // namespace platform::ui::testing
