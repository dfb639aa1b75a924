#include "filesecurity/panel.h"

#include "filesecurity/secure_bytes.h"

namespace tidewell::filesecurity {

bool folderMode(const PanelModel& m) {
    return m.lblFileOrFolder == kFolderModeCaption;
}

Direction direction(const PanelModel& m) {
    return m.cmdEncryptEnabled ? Direction::Encrypt : Direction::Decrypt;
}

namespace {
void setCaptions(PanelModel& m) {
    bool folder = folderMode(m);
    bool encrypt = direction(m) == Direction::Encrypt;
    m.lblSourceDestination[0] = folder && encrypt ? "Source Folder:" : "Source File:";
    m.lblSourceDestination[1] = folder && !encrypt ? "Destination Folder:" : "Destination File:";
}
} // namespace

void initPanel(PanelModel& m) {
    m.lblFileOrFolder = kFileModeCaption;
    m.pgb = 0;
    setCaptions(m);
}

void SelectDirection(PanelModel& m, Direction d) {
    m.cmdEncryptEnabled = d == Direction::Encrypt;
    m.cmdDecryptEnabled = d == Direction::Decrypt;
    m.txtSource.clear();
    m.txtDestination.clear();
    setCaptions(m);
}

void toggleMode(PanelModel& m) {
    m.lblFileOrFolder = folderMode(m) ? kFileModeCaption : kFolderModeCaption;
    setCaptions(m);
    m.txtSource.clear();
    m.txtDestination.clear();
}

PickerRequest browseRequest(const PanelModel& m, int index) {
    const std::string& caption = m.lblSourceDestination[index == 0 ? 0 : 1];
    if (caption == "Source Folder:" || caption == "Destination Folder:")
        return {PickerRequest::Kind::Folder, ""};
    bool source = caption == "Source File:";
    bool encrypting = m.cmdEncryptEnabled;
    // Plain files go in and come out; encrypted ones are what the other side holds.
    const char* filter = source == encrypting ? kAllFilesFilter : kEncryptedFilesFilter;
    return {source ? PickerRequest::Kind::OpenFile : PickerRequest::Kind::SaveFile, filter};
}

std::string dialogFilter(const std::string& filter) {
    auto trim = [](std::string s) {
        while (!s.empty() && s.front() == ' ')
            s.erase(s.begin());
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s;
    };
    std::string out;
    std::size_t start = 0;
    for (;;) {
        std::size_t bar = filter.find('|', start);
        out +=
            trim(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        out += '\0';
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    out += '\0';
    return out;
}

std::string folderPickerResult(std::string path) {
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

std::optional<UserMessage> checkPasswords(const PanelModel& m) {
    auto trim = [](const std::string& s) {
        std::size_t a = s.find_first_not_of(' ');
        if (a == std::string::npos)
            return std::string();
        return s.substr(a, s.find_last_not_of(' ') - a + 1);
    };
    std::string a = trim(m.txtPassword), b = trim(m.txtReenter);
    std::optional<UserMessage> problem;
    if (a.empty() || b.empty())
        problem = UserMessage{"Empty is not vaid.", "Password", kIconExclamation};
    else if (a != b)
        problem = UserMessage{"Unmatched passwords.", "Password", kIconExclamation};
    wipe(a.data(), a.size());
    wipe(b.data(), b.size());
    return problem;
}

Operation operationFor(const PanelModel& m, bool encryptButton) {
    if (folderMode(m))
        return encryptButton ? Operation::EncryptFolder : Operation::DecryptFolder;
    return encryptButton ? Operation::EncryptSingleFile : Operation::DecryptSingleFile;
}

Fields fieldsOf(const PanelModel& m) {
    return {m.txtPassword, m.txtSource, m.txtDestination};
}

std::optional<UserMessage> openForDecryption(PanelModel& m, const std::string& path, FileAccess& fs,
                                             const std::string& appTitle) {
    constexpr std::size_t kExtension = 4; // ".cfy"
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    bool named = path.size() > kExtension && path[path.size() - kExtension - 1] != '\\' &&
                 path[path.size() - kExtension - 1] != '/';
    for (std::size_t i = 0; named && i < kExtension; ++i)
        named = lower(path[path.size() - kExtension + i]) == ".cfy"[i];
    const FileInfo file = named ? fs.info(path) : FileInfo{};
    if (!file.exists || file.isFolder)
        return UserMessage{"Source file not found.", appTitle, kIconInformation};
    initPanel(m);
    SelectDirection(m, Direction::Decrypt);
    m.txtSource = path;
    m.txtDestination = path.substr(0, path.size() - kExtension);
    return std::nullopt;
}

void beginOperation(PanelModel& m, bool encryptButton) {
    m.busy = true;
    (encryptButton ? m.cmdEncryptCaption : m.cmdDecryptCaption) = "Cancel";
    m.pgb = 0;
}

void endOperation(PanelModel& m) {
    m.busy = false;
    m.cmdEncryptCaption = "Encrypt";
    m.cmdDecryptCaption = "Decrypt";
    m.pgb = 0;
}

} // namespace tidewell::filesecurity
