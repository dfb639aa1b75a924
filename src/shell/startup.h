#pragma once
#include <string>

#include "kernel/product_info.h"

namespace tidewell {

// What start-up needs of the platform.
class StartupPorts {
public:
    virtual ~StartupPorts() = default;
    // True when another copy of the program runs in this session. The copy
    // that answers false holds the claim for as long as it lives.
    virtual bool AnotherInstanceRunning() = 0;
    // Information icon, OK only.
    virtual void ShowInformation(const std::string& title, const std::string& text) = 0;
    virtual std::string ReadWinIni(const std::string& section, const std::string& key,
                                   const std::string& defaultValue) = 0;
    virtual void WriteWinIni(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
    // Folder that holds the program's executable.
    virtual std::string ProgramFolder() = 0;
    // Creates, loads and shows the main window (modeless).
    virtual void ShowMainWindow() = 0;
};

enum class StartupResult { AlreadyRunning, Started };

// The program's entry: refuse a second copy, make sure the WIN.INI association
// of encrypted files exists, show the main window. Command line: never read.
StartupResult Main(StartupPorts& ports, const ProductInfo& product);


inline constexpr const char* kWinIniExtensions = "Extensions";
inline constexpr const char* kWinIniCfyKey = "CFY";
inline constexpr const char* kWinIniNotFound = "NotFound";

// "User " + the computer's name; just "User " when the name cannot be read.
std::string userLabelText(bool nameRead, const std::string& computerName);

} // namespace tidewell
