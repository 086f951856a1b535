#pragma once

// Internal: UTF-8 texts to and from Qt strings.

#include <QString>

#include <string>

namespace platform::ui::detail {

inline QString qs(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ss(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace platform::ui::detail
