#include "quillon/progress_window.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace quillon {

namespace {
constexpr int kBarMaximum = 100;
constexpr int kTimerMs = 1000;
constexpr int kMinimumWidth = 420;
} // namespace

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent), bar_(new QProgressBar), percent_(new QLabel), currentFile_(new QLabel),
      location_(new QLabel), elapsed_(new QLabel), remaining_(new QLabel), batchFile_(new QLabel),
      timer_(new QTimer(this)) {
    setWindowTitle(kProgressCaption);
    setModal(false);
    setMinimumWidth(kMinimumWidth);
    bar_->setRange(0, kBarMaximum);
    bar_->setValue(0);
    bar_->setTextVisible(false);

    auto* group = new QGroupBox("Total Progress");
    auto* barRow = new QHBoxLayout;
    barRow->addWidget(bar_, 1);
    barRow->addWidget(percent_);
    auto* lines = new QFormLayout;
    lines->addRow("Current file :", currentFile_);
    lines->addRow("Location :", location_);
    lines->addRow("Time passed :", elapsed_);
    lines->addRow("Time remaining :", remaining_);
    lines->addRow("Batch file :", batchFile_);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(barRow);
    groupLayout->addLayout(lines);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);

    timer_->setInterval(kTimerMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (onTimer)
            onTimer();
    });
}

void ProgressWindow::closeEvent(QCloseEvent* event) {
    timer_->stop();
    event->accept();
    if (onClosed)
        onClosed();
}

} // namespace quillon
