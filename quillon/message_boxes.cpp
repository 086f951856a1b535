#include "quillon/message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include <cstdio>

namespace quillon {

namespace {
bool haveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}
} // namespace

void MessageBoxes::warning(const std::string& caption, const std::string& text) {
    if (!haveWidgets()) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return;
    }
    const QString title = QString::fromStdString(caption);
    const QString message = QString::fromStdString(text);
    QMetaObject::invokeMethod(
        qApp,
        [title, message] {
            QMessageBox box(QMessageBox::Warning, title, message, QMessageBox::Ok);
            box.exec();
        },
        Qt::QueuedConnection);
}

bool MessageBoxes::question(const std::string& caption, const std::string& text) {
    if (!haveWidgets() || QThread::currentThread() != qApp->thread())
        return true;
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No);
    return box.exec() != QMessageBox::No;
}

MessageSink& messageBoxes() {
    static MessageBoxes boxes;
    return boxes;
}

} // namespace quillon
