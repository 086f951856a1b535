#include "platform/vfw/codec_dialog_channel.h"

#include "platform/core/text.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace platform::vfw {

namespace {

constexpr const char* Greeting = "KESTROVA-CODEC-AUTOMATION 1";
constexpr int DefaultTimeoutMs = 60000;
constexpr int ReadTimeoutMs = 5000;
// A dialog runs a script at once, but a person may be watching a slow machine: the automation waits
// this long for the dialog's answer once the dialog has its script.
constexpr int AnswerTimeoutMs = 120000;
constexpr size_t MaxScriptBytes = 64 * 1024;
constexpr int MaxDialogNumber = 99;

using Clock = std::chrono::steady_clock;

std::string executableFolder() {
    std::array<char, 4096> buffer{};
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return ".";
    std::string path(buffer.data(), static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string channelFolder() {
    if (const char* dir = std::getenv("KESTROVA_CODEC_CHANNEL"); dir && *dir) {
        char* real = ::realpath(dir, nullptr);
        std::string folder = real ? real : dir;
        std::free(real);
        return folder;
    }
    return executableFolder();
}

uint64_t fnv1a(const std::string& text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

socklen_t offerAddress(int number, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    char name[100];
    const int n = std::snprintf(name, sizeof name, "kestrova-codec-offer/%u/%016llx/%d",
                                static_cast<unsigned>(::getuid()),
                                static_cast<unsigned long long>(fnv1a(channelFolder())), number);
    // Abstract namespace: the name starts after a NUL byte and is not NUL-terminated.
    std::memcpy(address.sun_path + 1, name, static_cast<size_t>(n));
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(n));
}

bool sendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

// Reads lines until an empty line (or, when untilEmpty is false, one line), within timeoutMs.
bool readLines(int fd, bool untilEmpty, int timeoutMs, std::vector<std::string>& lines) {
    std::string pending;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        size_t eol;
        while ((eol = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (untilEmpty && line.empty())
                return true;
            lines.push_back(line);
            if (!untilEmpty)
                return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || pending.size() > MaxScriptBytes)
            return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        pending.append(buffer, static_cast<size_t>(n));
    }
}

bool samePerson(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

int envNumber(const char* name, int fallback, int minimum, int maximum) {
    const char* text = std::getenv(name);
    if (!text || !*text)
        return fallback;
    int value = 0;
    if (!core::tryStrToInt(text, value) || value < minimum || value > maximum)
        return fallback;
    return value;
}

} // namespace

int codecChannelTimeoutMs() {
    return envNumber("KESTROVA_CODEC_TIMEOUT", DefaultTimeoutMs, 0, 24 * 3600 * 1000);
}

int automationDialogNumber() {
    return envNumber(CodecDialogEnv, 1, 1, MaxDialogNumber);
}

AutomationRequest::~AutomationRequest() {
    if (!replied_)
        reply(false, "the dialog closed without running the script");
    ::close(fd_);
}

void AutomationRequest::reply(bool ok, const std::string& message) {
    if (replied_)
        return;
    replied_ = true;
    sendAll(fd_, ok ? std::string("OK\n") : "ERROR " + core::escapeLine(message) + "\n");
}

std::unique_ptr<AutomationRequest> takeAutomation(int number) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    sockaddr_un address;
    const socklen_t length = offerAddress(number, address);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<AutomationRequest> request(new AutomationRequest(fd));
    std::vector<std::string> lines;
    if (!samePerson(fd) || !readLines(fd, true, ReadTimeoutMs, lines) || lines.empty() ||
        lines.front() != Greeting) {
        request->reply(false, "the dialog could not read the script");
        return nullptr;
    }
    for (size_t i = 1; i < lines.size(); ++i)
        request->items_.push_back(core::unescapeLine(lines[i]));
    return request;
}

AutomationOffer::~AutomationOffer() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool AutomationOffer::open(int number, std::string& error) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("Cannot offer the script to the codec dialog: ") + std::strerror(errno);
        return false;
    }
    sockaddr_un address;
    const socklen_t length = offerAddress(number, address);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 1) != 0) {
        error = "Another automation is already waiting for the codec dialog " + std::to_string(number);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    number_ = number;
    return true;
}

bool AutomationOffer::serve(const std::vector<std::string>& items, int timeoutMs, std::string& message) {
    const std::string dialog = "the codec dialog " + std::to_string(number_);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd_, POLLIN, 0};
        const int ready = left > 0 ? ::poll(&p, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            message = "No codec dialog " + std::to_string(number_) + " appeared within " +
                      std::to_string(timeoutMs / 1000) + " seconds";
            return false;
        }
        const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        if (!samePerson(client)) {
            ::close(client);
            continue;
        }
        std::string script = std::string(Greeting) + "\n";
        for (const std::string& item : items)
            script += core::escapeLine(item) + "\n";
        script += "\n";
        std::vector<std::string> answer;
        const bool ok = sendAll(client, script) && readLines(client, false, AnswerTimeoutMs, answer);
        ::close(client);
        if (!ok || answer.empty()) {
            message = "The dialog closed without answering: " + dialog;
            return false;
        }
        if (answer.front() == "OK")
            return true;
        message = answer.front().rfind("ERROR ", 0) == 0 ? core::unescapeLine(answer.front().substr(6))
                                                         : answer.front();
        return false;
    }
}

} // namespace platform::vfw
