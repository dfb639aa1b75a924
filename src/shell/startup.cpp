#include "shell/startup.h"

namespace tidewell {

StartupResult Main(StartupPorts& ports, const ProductInfo& product) {
    if (ports.AnotherInstanceRunning()) {
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
