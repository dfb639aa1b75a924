#include "shell/command_line.h"

#include <vector>

namespace tidewell {

namespace {

bool blank(char c) {
    return c == ' ' || c == '\t';
}

bool isSwitch(std::string_view arg) {
    return !arg.empty() && (arg.front() == '/' || arg.front() == '-');
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        if (x != b[i])
            return false;
    }
    return true;
}

// UTF-16 units of a UTF-8 text: one per sequence, two for a four-byte one.
std::size_t utf16Units(std::string_view s) {
    std::size_t n = 0;
    for (unsigned char c : s) {
        if ((c & 0xC0) != 0x80)
            n += c >= 0xF0 ? 2 : 1;
    }
    return n;
}

bool wellFormedUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t more = 0;
        unsigned char low = 0x80, high = 0xBF; // range of the second byte
        if (c < 0x80) {
            more = 0;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            low = c == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
            high = c == 0xED ? 0x9F : 0xBF; // no surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (s.size() - i <= more)
            return false;
        for (std::size_t k = 1; k <= more; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if (k == 1 ? (b < low || b > high) : (b & 0xC0) != 0x80)
                return false;
        }
        i += more + 1;
    }
    return true;
}

// The arguments after the program's name, split as the C runtime does:
// blanks separate, quotes group, 2n backslashes before a quote give n and
// the quote counts, 2n+1 give n and a literal quote, "" inside quotes is a
// literal quote.
std::vector<std::string> splitArguments(std::string_view s) {
    std::vector<std::string> args;
    std::size_t i = 0;
    for (;;) {
        while (i < s.size() && blank(s[i]))
            ++i;
        if (i == s.size())
            return args;
        std::string arg;
        bool quoted = false;
        while (i < s.size() && (quoted || !blank(s[i]))) {
            if (s[i] == '\\') {
                std::size_t n = 0;
                while (i < s.size() && s[i] == '\\') {
                    ++n;
                    ++i;
                }
                if (i < s.size() && s[i] == '"') {
                    arg.append(n / 2, '\\');
                    if (n % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(n, '\\');
                }
            } else if (s[i] == '"') {
                if (quoted && i + 1 < s.size() && s[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += s[i++];
            }
        }
        args.push_back(std::move(arg));
    }
}

} // namespace

CommandLine parseCommandLine(std::string_view tail) {
    while (!tail.empty() && blank(tail.front()))
        tail.remove_prefix(1);
    while (!tail.empty() && blank(tail.back()))
        tail.remove_suffix(1);
    // A path and its two quotes at most; more is no path of ours.
    if (tail.empty() || utf16Units(tail) > kMaxPathUnits + 2)
        return {};
    if (tail.find('"') == std::string_view::npos && !isSwitch(tail))
        return {CommandLine::Kind::OpenFile, std::string(tail)};
    const std::vector<std::string> args = splitArguments(tail);
    if (args.size() != 1 || args.front().empty())
        return {};
    if (equalsIgnoringCase(args.front(), "/tray"))
        return {CommandLine::Kind::Tray, {}};
    if (isSwitch(args.front()))
        return {};
    return {CommandLine::Kind::OpenFile, args.front()};
}

bool acceptablePath(std::string_view p) {
    if (p.empty() || utf16Units(p) > kMaxPathUnits || !wellFormedUtf8(p))
        return false;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        // A colon past the drive's would name a stream of the file.
        if (c < 0x20 || c == 0x7F || std::string_view("\"<>|*?").find(p[i]) != p.npos ||
            (c == ':' && i != 1)) {
            return false;
        }
    }
    const bool drive = p.size() >= 3 && ((p[0] | 0x20) >= 'a' && (p[0] | 0x20) <= 'z') &&
                       p[1] == ':' && p[2] == '\\';
    // "\\server\share": a server name, then a share name.
    const std::size_t shareAt = p.size() > 2 ? p.find('\\', 2) : p.npos;
    const bool unc = p.size() > 2 && p[0] == '\\' && p[1] == '\\' && p[2] != '\\' &&
                     shareAt != p.npos && shareAt + 1 < p.size() && p[shareAt + 1] != '\\';
    return drive || unc;
}

std::optional<std::string> decodeHandOver(std::uintptr_t tag, const void* data, std::size_t size) {
    // UTF-8 takes at most three bytes per UTF-16 unit.
    if (tag != kHandOverTag || data == nullptr || size == 0 || size > 3 * kMaxPathUnits)
        return std::nullopt;
    std::string path(static_cast<const char*>(data), size);
    if (!acceptablePath(path))
        return std::nullopt;
    return path;
}

} // namespace tidewell
