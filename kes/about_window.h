#pragma once

// The about window: the program's name and version, and links to the home page, the contact address and
// the forum. The links open the README of the program folder.

#include "platform/ui/buttons.h"
#include "platform/ui/edit.h"
#include "platform/ui/form.h"

#include <QUrl>

#include <functional>
#include <string>

namespace kes {

namespace ui = platform::ui;

class TKESabout : public ui::Form {
public:
    // programDir: the program folder, with or without its trailing "/".
    explicit TKESabout(const std::string& programDir);
    ~TKESabout() override;

    // The targets of the links.
    QUrl homePage() const;
    QUrl contact() const;
    QUrl forum() const;

    // Opens a link target; QDesktopServices by default, replaced by tests.
    static std::function<void(const QUrl&)> openUrl;

    ui::Label Label1{*this, "Kestrova V1.24"};
    ui::Label Label2{*this, "Homepage :"};
    ui::Label Label3{*this, "Contact :"};
    ui::Label Label4{*this};
    ui::Label Label5{*this};
    ui::Label Label6{*this, "*** Forum ***"};
    ui::Button Button1{*this, "OK"};

    void Label1Click();
    void Label5Click();
    void Label6Click();
    void Button1Click();

private:
    QUrl readme() const;
    std::string readmePath_;
};

// The about window shown last (null when none is open).
extern TKESabout* KESabout;

} // namespace kes
