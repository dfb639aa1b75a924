#pragma once
#include <string>

#include "kernel/product_info.h"
#include "shell/command_line.h"

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

// Reaching a copy that already runs.
class InstanceHandOver {
public:
    virtual ~InstanceHandOver() = default;
    // Gives the running copy a path to open; false when none took it.
    virtual bool HandOver(const std::string& path) = 0;
};

enum class StartupResult { AlreadyRunning, HandedOver, Started };

// The program's entry: refuse a second copy, make sure the WIN.INI association
// of encrypted files exists, show the main window. A start with no arguments.
StartupResult Main(StartupPorts& ports, const ProductInfo& product);
// The same with what the command line asked for. A second copy given a path
// hands it to the first and ends without a word; one started for the tray
// ends without a word too; one given nothing it knows shows the message.
// The first copy's main window does the rest (ShowMainWindow's caller knows
// the command line).
StartupResult Main(StartupPorts& ports, const ProductInfo& product, const CommandLine& command,
                   InstanceHandOver& running);


inline constexpr const char* kWinIniExtensions = "Extensions";
inline constexpr const char* kWinIniCfyKey = "CFY";
inline constexpr const char* kWinIniNotFound = "NotFound";

// "User " + the computer's name; just "User " when the name cannot be read.
std::string userLabelText(bool nameRead, const std::string& computerName);

} // namespace tidewell
