#pragma once
// What the program reads of its command line, and what other processes may
// ask of the running copy's main window (found by its class): open the path
// of an encrypted file, or end.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tidewell {

struct CommandLine {
    enum class Kind {
        None,     // no arguments, or none the program knows: a start as always
        Tray,     // "/tray": start in the notification area, window hidden
        OpenFile, // one path: offer it for decryption
    };
    Kind kind = Kind::None;
    std::string path; // OpenFile only; as given, possibly relative
};

// The longest path Windows takes, in UTF-16 units.
inline constexpr std::size_t kMaxPathUnits = 32767;

// `tail` is the command line after the program's name (UTF-8). One argument,
// quoted or not, is a path: an unquoted tail is one path even with blanks in
// it, as the classic "%1" without quotes passes it. "/tray" alone starts
// hidden. Anything else (switches, two arguments, input longer than a path)
// is None.
CommandLine parseCommandLine(std::string_view tail);

// A path another process may hand over: well-formed UTF-8, absolute ("X:\"
// or "\\server\share"), no control or wildcard characters, no quotes, and no
// longer than a path can be.
bool acceptablePath(std::string_view path);

// The WM_COPYDATA of a hand-over: its tag, and the path as UTF-8 bytes
// without a terminator.
inline constexpr std::uintptr_t kHandOverTag = 0x54574346; // "TWCF"
// The receiver's check of what arrived: the path, or nothing.
std::optional<std::string> decodeHandOver(std::uintptr_t tag, const void* data, std::size_t size);

// WM_CLOSE with this wParam ends the program, as its Exit button does (the
// installer replacing it sends it); a plain WM_CLOSE only hides the window.
inline constexpr std::uintptr_t kExitRequest = 0x54574558; // "TWEX"

} // namespace tidewell
