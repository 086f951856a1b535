#include "quillon/progress_feed.h"

namespace quillon {

void ProgressFeed::reset() {
    std::lock_guard lock(mutex_);
    position_ = 0;
    currentFile_.clear();
    fileChanged_ = false;
}

void ProgressFeed::setCurrentFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    currentFile_ = path;
    fileChanged_ = true;
}

std::optional<std::string> ProgressFeed::takeCurrentFile() {
    std::lock_guard lock(mutex_);
    if (!fileChanged_)
        return std::nullopt;
    fileChanged_ = false;
    return currentFile_;
}

} // namespace quillon
