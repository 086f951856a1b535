#include "platform/ui/dialogs.h"

#include "platform/ui/application.h"
#include "platform/ui/dialog_script.h"
#include "platform/ui/qt_text.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace platform::ui {

using detail::qs;
using detail::ss;

namespace {

const char* defaultCaption(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return "Error";
    case MessageKind::Warning:
        return "Warning";
    case MessageKind::Information:
        return "Information";
    case MessageKind::Question:
        return "Confirm";
    case MessageKind::Plain:
        break;
    }
    return nullptr;
}

Answer defaultAnswer(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::YesNo:
        return Answer::No;
    case Buttons::OkCancel:
    case Buttons::YesNoCancel:
        break;
    }
    return Answer::Cancel;
}

bool offers(Buttons buttons, Answer answer) {
    switch (buttons) {
    case Buttons::Ok:
        return answer == Answer::Ok;
    case Buttons::OkCancel:
        return answer == Answer::Ok || answer == Answer::Cancel;
    case Buttons::YesNo:
        return answer == Answer::Yes || answer == Answer::No;
    case Buttons::YesNoCancel:
        return answer == Answer::Yes || answer == Answer::No || answer == Answer::Cancel;
    }
    return false;
}

bool parseAnswer(const std::string& text, Answer& answer) {
    for (Answer candidate : {Answer::Ok, Answer::Cancel, Answer::Yes, Answer::No}) {
        if (text == answerName(candidate)) {
            answer = candidate;
            return true;
        }
    }
    return false;
}

QMessageBox::Icon icon(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return QMessageBox::Critical;
    case MessageKind::Warning:
        return QMessageBox::Warning;
    case MessageKind::Information:
        return QMessageBox::Information;
    case MessageKind::Question:
        return QMessageBox::Question;
    case MessageKind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

BoxDiversion* activeDiversion = nullptr;

QMessageBox::StandardButtons qtButtons(Buttons buttons) {
    switch (buttons) {
    case Buttons::Ok:
        return QMessageBox::Ok;
    case Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

} // namespace

const char* messageKindName(MessageKind kind) {
    switch (kind) {
    case MessageKind::Error:
        return "error";
    case MessageKind::Warning:
        return "warning";
    case MessageKind::Information:
        return "information";
    case MessageKind::Question:
        return "question";
    case MessageKind::Plain:
        break;
    }
    return "plain";
}

const char* answerName(Answer answer) {
    switch (answer) {
    case Answer::Ok:
        return "OK";
    case Answer::Cancel:
        return "Cancel";
    case Answer::Yes:
        return "Yes";
    case Answer::No:
        break;
    }
    return "No";
}

BoxDiversion::BoxDiversion(Handler handler) : handler_(std::move(handler)), previous_(activeDiversion) {
    activeDiversion = this;
}

BoxDiversion::~BoxDiversion() {
    activeDiversion = previous_;
}

BoxDiversion::Shown::Shown() : suspended_(activeDiversion) {
    activeDiversion = nullptr;
}

BoxDiversion::Shown::~Shown() {
    activeDiversion = suspended_;
}

Answer messageBox(MessageKind kind, const std::string& text, Buttons buttons, const std::string& caption) {
    if (activeDiversion) {
        if (activeDiversion->handler_)
            activeDiversion->handler_(kind, text);
        return defaultAnswer(buttons);
    }
    std::string shownCaption = caption;
    if (shownCaption.empty()) {
        const char* own = defaultCaption(kind);
        shownCaption = own ? own : applicationTitle();
    }
    const Answer fallback = defaultAnswer(buttons);
    std::string scripted;
    const auto fits = [buttons](const std::string& answer) {
        Answer parsed = Answer::Ok;
        return parseAnswer(answer, parsed) && offers(buttons, parsed);
    };
    if (testing::scriptedAnswer(messageKindName(kind), shownCaption, text, answerName(fallback), fits,
                                scripted)) {
        Answer result = fallback;
        parseAnswer(scripted, result);
        return result;
    }
    QMessageBox box(icon(kind), qs(shownCaption), qs(text), qtButtons(buttons), QApplication::activeWindow());
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return fallback;
    }
}

void errorBox(const std::string& text, const std::string& caption) {
    messageBox(MessageKind::Error, text, Buttons::Ok, caption);
}

void warningBox(const std::string& text, const std::string& caption) {
    messageBox(MessageKind::Warning, text, Buttons::Ok, caption);
}

void informationBox(const std::string& text, const std::string& caption) {
    messageBox(MessageKind::Information, text, Buttons::Ok, caption);
}

void showMessage(const std::string& text, const std::string& caption) {
    messageBox(MessageKind::Plain, text, Buttons::Ok, caption);
}

bool askYesNo(const std::string& text, const std::string& caption) {
    return messageBox(MessageKind::Question, text, Buttons::YesNo, caption) == Answer::Yes;
}

std::string inputBox(const std::string& caption, const std::string& prompt, const std::string& defaultText) {
    std::string value = defaultText;
    return inputQuery(caption, prompt, value) ? value : defaultText;
}

bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    std::string scripted;
    if (testing::scriptedAnswer("input", caption, prompt, answerName(Answer::Cancel), scripted)) {
        if (scripted == answerName(Answer::Cancel))
            return false;
        value = testing::literalAnswer(scripted);
        return true;
    }
    bool ok = false;
    const QString entered = QInputDialog::getText(QApplication::activeWindow(), qs(caption), qs(prompt),
                                                  QLineEdit::Normal, qs(value), &ok);
    if (!ok)
        return false;
    value = ss(entered);
    return true;
}

} // namespace platform::ui
