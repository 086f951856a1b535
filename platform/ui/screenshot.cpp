#include "platform/ui/screenshot.h"

#include "platform/ui/form.h"

#include <QMainWindow>
#include <QPixmap>

namespace platform::ui {

bool grabToPng(Form& form, const std::string& path) {
    QMainWindow* window = form.window();
    if (!window)
        return false;
    const QPixmap picture = window->grab();
    return !picture.isNull() && picture.save(QString::fromStdString(path), "PNG");
}

} // namespace platform::ui
