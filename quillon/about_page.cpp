#include "quillon/about_page.h"

#include "platform/com/inproc_server.h"
#include "quillon/build_date.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include <filesystem>
#include <new>

namespace quillon {

namespace {
constexpr char kReadmeName[] = "README.md";

void openReadme() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(AboutPage::readmePath())));
}

QLabel* addRow(QGridLayout* grid, int row, const char* caption, const QString& value) {
    grid->addWidget(new QLabel(caption), row, 0);
    auto* label = new QLabel(value);
    grid->addWidget(label, row, 1);
    return label;
}
} // namespace

AboutPage::AboutPage(platform::com::IUnknown* outer)
    : CBasePropertyPage("Multiple MPEG2 Source about page", outer, kAboutTitle) {}

platform::com::CUnknown* AboutPage::CreateInstance(platform::com::IUnknown* outer,
                                                   platform::com::HRESULT* hr) {
    auto* page = new (std::nothrow) AboutPage(outer);
    if (!page && hr)
        *hr = platform::com::E_OUTOFMEMORY;
    return page;
}

void AboutPage::OnCreateDialog(QWidget* page) {
    auto* grid = new QGridLayout(page);
    addRow(grid, 0, "Company :", "Orvento");
    addRow(grid, 1, "Filter :", "Multiple MPEG2 Source");
    addRow(grid, 2, "Built on :", QString::fromStdString(buildDateText(__DATE__)))
        ->setObjectName("buildDate");
    addRow(grid, 3, "Written by :", kAuthorText)->setObjectName("author");
    auto* home = new QPushButton("Home page");
    auto* mail = new QPushButton("Contact");
    home->setObjectName("homeLink");
    mail->setObjectName("mailLink");
    grid->addWidget(home, 4, 0);
    grid->addWidget(mail, 4, 1);
    QObject::connect(home, &QPushButton::clicked, page, [] { openReadme(); });
    QObject::connect(mail, &QPushButton::clicked, page, [] { openReadme(); });
}

std::string AboutPage::readmePath() {
    const std::filesystem::path module =
        platform::com::modulePathOf(reinterpret_cast<const void*>(&openReadme));
    return (module.parent_path().parent_path() / kReadmeName).string();
}

} // namespace quillon
