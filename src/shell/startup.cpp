#include "shell/startup.h"

namespace tidewell {

namespace {
class NoHandOver : public InstanceHandOver {
public:
    bool HandOver(const std::string&) override { return false; }
};
} // namespace

StartupResult Main(StartupPorts& ports, const ProductInfo& product) {
    NoHandOver none;
    return Main(ports, product, CommandLine{}, none);
}

StartupResult Main(StartupPorts& ports, const ProductInfo& product, const CommandLine& command,
                   InstanceHandOver& running) {
    if (ports.AnotherInstanceRunning()) {
        if (command.kind == CommandLine::Kind::OpenFile && running.HandOver(command.path))
            return StartupResult::HandedOver;
        // A start at sign-in that finds a copy running has nothing to say.
        if (command.kind != CommandLine::Kind::Tray)
            ports.ShowInformation(product.productName, alreadyRunningText(product));
        return StartupResult::AlreadyRunning;
    }
    // Legacy association: written only when absent; any existing value stays.
    const std::string current = ports.ReadWinIni(kWinIniExtensions, kWinIniCfyKey, kWinIniNotFound);
    if (current == kWinIniNotFound) {
        ports.WriteWinIni(kWinIniExtensions, kWinIniCfyKey,
                          programPath(ports.ProgramFolder()) + " ^.CFY");
    }
    ports.ShowMainWindow();
    return StartupResult::Started;
}

std::string userLabelText(bool nameRead, const std::string& computerName) {
    return nameRead ? "User " + computerName : "User ";
}

} // namespace tidewell
