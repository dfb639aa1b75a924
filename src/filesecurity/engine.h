#pragma once
// The four file-security operations: their checks, in the order the user
// meets them, and the work itself. Nothing here shows a window.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "filesecurity/cipher/cipher.h"
#include "filesecurity/file_access.h"

namespace tidewell::filesecurity {

// The four commands (EncryptFile, DecryptFile, EncryptFolder, DecryptFolder); the
// single-file names carry "Single" so that the Windows headers' EncryptFile
// macros cannot rename them.
enum class Operation { EncryptSingleFile, DecryptSingleFile, EncryptFolder, DecryptFolder };

inline constexpr int kIconCritical = 16;
inline constexpr int kIconExclamation = 48;
inline constexpr int kIconInformation = 64;

struct UserMessage {
    std::string text;
    std::string title;
    int icon = kIconInformation;
    bool operator==(const UserMessage&) const = default;
};

// What the user typed, untrimmed.
struct Fields {
    std::string password;
    std::string source;
    std::string destination;
};

// The number of a cancelled operation: its guard stays silent.
inline constexpr long kCancelledNumber = 32755;

// The first problem with the fields, or nothing when the operation may run.
// After any message the source browse button takes the focus.
std::optional<UserMessage> validate(Operation op, const Fields& fields, FileAccess& fs,
                                    const std::string& appTitle);

// Called with work done so far, 0..100; may throw to cancel.
using PercentProgress = std::function<void(int percent)>;

// Runs a validated operation. The destination is replaced only when all is
// done and checked; on failure or cancel nothing of it is left (a folder
// extraction removes what it created). Throws AppError or CipherError.
// `yield` serves the caller's thread while the password's key is derived.
void run(Operation op, const Fields& fields, FileAccess& fs, const PercentProgress& progress = {},
         const cipher::KdfParams& kdf = {}, const cipher::KeyDerivationYield& yield = {});

bool isBlank(const std::string& text);

} // namespace tidewell::filesecurity
