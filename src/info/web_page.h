#pragma once
#include <string>

namespace tidewell {

// The probe file that asks the shell which program opens a file type: the
// temporary folder + "temphtm." + extension; its content, `""` and a line break.
std::string probeFilePath(const std::string& tempFolder, const std::string& extension);
inline constexpr const char kProbeContent[] = "\"\"\r\n";

// The program path from FindExecutable's result: blanks trimmed, up to and
// including the first ".EXE" (any case); the whole trimmed result when it
// names no ".EXE".
std::string programFromAssociation(const std::string& found);

// The address as one quoted command-line argument. A double quote inside it
// becomes %22 and backslashes before the closing quote are doubled, so the
// address can never end its quotes early and add arguments of its own.
std::string quotedAddressArgument(const std::string& address);

// The About window's texts.
std::string aboutCaption(const std::string& productName, unsigned major, unsigned minor);
std::string aboutNotice(const std::string& legalCopyright, const std::string& companyName);

} // namespace tidewell
