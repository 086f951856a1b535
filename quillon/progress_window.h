#pragma once

// The progress window's widgets: the bar, the percentage and the lines for the current file, the
// location, the time passed and left, and the list file. Its timer and its closing are reported to
// the callbacks its owner sets.

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QTimer;

namespace quillon {

inline constexpr char kProgressCaption[] = "Orvento Multiple MPEG2 Source";

class ProgressWindow : public QDialog {
public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    QProgressBar* bar() const { return bar_; }
    QLabel* percentLabel() const { return percent_; }
    QLabel* currentFileLabel() const { return currentFile_; }
    QLabel* locationLabel() const { return location_; }
    QLabel* elapsedLabel() const { return elapsed_; }
    QLabel* remainingLabel() const { return remaining_; }
    QLabel* batchFileLabel() const { return batchFile_; }
    QTimer* timer() const { return timer_; }

    std::function<void()> onTimer;
    std::function<void()> onClosed;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QProgressBar* bar_;
    QLabel* percent_;
    QLabel* currentFile_;
    QLabel* location_;
    QLabel* elapsed_;
    QLabel* remaining_;
    QLabel* batchFile_;
    QTimer* timer_;
};

} // namespace quillon
