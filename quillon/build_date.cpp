#include "quillon/build_date.h"

#include <array>
#include <utility>

namespace quillon {

namespace {
constexpr std::array<std::pair<std::string_view, std::string_view>, 12> kMonths{{
    {"Jan", "January"},
    {"Feb", "February"},
    {"Mar", "March"},
    {"Apr", "April"},
    {"May", "May"},
    {"Jun", "June"},
    {"Jul", "July"},
    {"Aug", "August"},
    {"Sep", "September"},
    {"Oct", "October"},
    {"Nov", "November"},
    {"Dec", "December"},
}};
constexpr size_t kDateLength = 11; // "May 24 2000"
constexpr size_t kDayAt = 4;
constexpr size_t kYearAt = 7;
} // namespace

std::string buildDateText(std::string_view date) {
    if (date.size() != kDateLength)
        return std::string(date);
    for (const auto& [key, month] : kMonths) {
        if (date.substr(0, key.size()) == key)
            return std::string(month) + " " + std::string(date.substr(kDayAt, 2)) + ", " +
                   std::string(date.substr(kYearAt, 4));
    }
    return std::string(date);
}

} // namespace quillon
