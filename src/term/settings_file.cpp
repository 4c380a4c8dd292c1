#include "term/settings_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sodium.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "console/history.h"
#include "crypto/keys.h"
#include "seams/settings_store.h"
#include "settings/settings.h"
#include "term/code_page.h"
#include "term/state.h"

namespace {

// More than any settings file holds; a larger one is never rewritten.
constexpr size_t MOST_READ = 1024 * 1024;
constexpr int MOST_LINKS_FOLLOWED = 40;
constexpr const char* DIRECTORY_NAME = "/norrik";
constexpr const char* FILE_NAME = "/settings.ini";
constexpr const char* CODE_PAGE_NAME = "CodePage";
constexpr const char* NICKNAME_NAME = "Nickname";
// As /nick takes a name.
constexpr size_t LOGIN_NAME_TAKEN = 20;

SettingsFileState& stored = term.settingsFile;

const std::string& FilePath() {
    if (!stored.filePathSet) {
        stored.filePath = SettingsFilePath(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
        stored.filePathSet = true;
    }
    return stored.filePath;
}

// The line's value when it holds name, or null.
const char* ValueIn(const std::string& line, const char* name) {
    const size_t length = std::strlen(name);
    if (line.compare(0, length, name) != 0 || line.size() <= length || line[length] != '=') return nullptr;
    return line.c_str() + length + 1;
}

// The value on the last line of the name, or null.
const char* ValueOf(const char* name) {
    const char* value = nullptr;
    for (const std::string& line : stored.lines) {
        if (const char* found = ValueIn(line, name)) value = found;
    }
    return value;
}

void SetLine(const char* name, const std::string& value) {
    std::string line = std::string(name) + "=" + value;
    for (std::string& existing : stored.lines) {
        if (ValueIn(existing, name)) {
            existing = line;
            return;
        }
    }
    stored.lines.push_back(line);
}

// A decimal number of 0 to 4294967295, and nothing else.
bool ParseDword(const char* text, uint32_t* value) {
    if (*text == '\0' || std::strlen(text) > 10) return false;
    uint64_t number = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return false;
        number = number * 10 + static_cast<uint64_t>(*c - '0');
    }
    if (number > 0xFFFFFFFFu) return false;
    *value = static_cast<uint32_t>(number);
    return true;
}

// The file is text of the locale, as the user edits it; the core's texts
// are in the wire's code page, which the file itself names. Its other
// values are read by the core's rules; this one is needed first, to read
// the texts.
void UseCodePageOfFile() {
    uint32_t codePage = DEFAULT_CODE_PAGE;
    const char* value = ValueOf(CODE_PAGE_NAME);
    if (value && !ParseDword(value, &codePage)) codePage = DEFAULT_CODE_PAGE;
    UseCodePage(codePage);
}

// Once per read of the settings, before their first text: the code page the
// file names. A read of the key store alone leaves the code page in use,
// which a change to the file changes only at the next start.
void UseCodePageOfSettings() {
    if (std::exchange(stored.codePageDue, false)) UseCodePageOfFile();
}

// The key store's values (crypto/keys.h) share the file with the settings;
// a session that touches one of them is the key store's.
void Touch(const char* name) {
    if (std::strcmp(name, STATIC_KEY_VALUE) == 0 || std::strcmp(name, KNOWN_PEERS_VALUE) == 0) {
        stored.keyStoreSession = true;
    } else {
        UseCodePageOfSettings();
    }
}

// The login name: LOGNAME or USER, as a login sets them, or the account's
// name; its first LOGIN_NAME_TAKEN characters, as text of the locale.
std::string LoginName() {
    const char* name = nullptr;
    for (const char* variable : {"LOGNAME", "USER"}) {
        const char* value = std::getenv(variable);
        if (!name && value && value[0] != '\0') name = value;
    }
    const passwd* account = name ? nullptr : getpwuid(geteuid());
    if (account) name = account->pw_name;
    return name ? ToLocale(FromLocale(name).substr(0, LOGIN_NAME_TAKEN)) : "";
}

bool MakeDirectoryFor(const std::string& path) {
    // Each missing directory on the way, as mkdir -p does.
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string directory = path.substr(0, slash);
        if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Where a write must go: the file a symlink (a dotfiles folder's) points
// to, through every link, so that the link stays a link.
std::string ResolveLinks(const std::string& path) {
    std::string target = path;
    for (int hops = 0; hops < MOST_LINKS_FOLLOWED; ++hops) {
        struct stat status;
        if (lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
        char link[4096];
        const ssize_t length = readlink(target.c_str(), link, sizeof link);
        if (length <= 0 || static_cast<size_t>(length) >= sizeof link) break;
        const std::string to(link, static_cast<size_t>(length));
        target = to[0] == '/' ? to : target.substr(0, target.rfind('/') + 1) + to;
    }
    return target;
}

bool WriteAll(int fd, const std::string& text) {
    for (size_t at = 0; at < text.size();) {
        const ssize_t written = write(fd, text.data() + at, text.size() - at);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        at += static_cast<size_t>(written);
    }
    return true;
}

// Written whole beside the file under a name no one else has, with the
// file's mode for its owner and none for anyone else (0600 for a new one:
// the file holds the private key, and is the user's alone), synced, then
// put in its place and the folder synced: a failure or a crash half way
// leaves the old file as it was.
bool ReplaceFile(const std::string& path, const std::string& text) {
    const std::string target = ResolveLinks(path);
    const std::string folder = target.substr(0, target.rfind('/') + 1);
    if (!MakeDirectoryFor(target)) return false;
    struct stat status;
    const mode_t mode = stat(target.c_str(), &status) == 0 ? (status.st_mode & 0700) : 0600;
    std::string temporary = target + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) return false;
    bool written = fchmod(fd, mode) == 0 && WriteAll(fd, text) && fsync(fd) == 0;
    int error = written ? 0 : errno;
    if (close(fd) != 0 && written) written = false, error = errno;
    if (written && std::rename(temporary.c_str(), target.c_str()) != 0) written = false, error = errno;
    if (!written) {
        unlink(temporary.c_str());
        errno = error;
        return false;
    }
    const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return true;
}

void WriteFile() {
    const std::string& path = FilePath();
    if (stored.unreadable) return;  // the stored.problem of the read stands
    if (path.empty()) {
        stored.problem = "Settings not saved: neither XDG_CONFIG_HOME nor HOME says where they go";
        return;
    }
    std::string text;
    for (const std::string& line : stored.lines) text += line + "\n";
    const bool written = ReplaceFile(path, text);
    stored.problem = written ? "" : "Settings not saved: cannot write " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string SettingsFilePath(const char* xdgConfigHome, const char* home) {
    if (xdgConfigHome && xdgConfigHome[0] == '/') return xdgConfigHome + std::string(DIRECTORY_NAME) + FILE_NAME;
    if (home && home[0] == '/') return home + std::string("/.config") + DIRECTORY_NAME + FILE_NAME;
    return "";
}

void UseSettingsFile(const std::string& path) {
    stored.filePath = path;
    stored.filePathSet = true;
}

const std::string& SettingsFileProblem() { return stored.problem; }

RegistryOpenResult RegistryOpenForRead(const char*, RegistryKey* key) {
    stored.lines.clear();
    stored.loginNameTaken.clear();
    stored.loadingBefore = std::exchange(stored.loading, true);
    stored.keyStoreSession = false;
    stored.codePageDue = true;
    *key = &stored;
    stored.unreadable = false;
    FILE* file = FilePath().empty() ? nullptr : std::fopen(FilePath().c_str(), "rb");
    if (!file) {
        const int error = errno;
        // There but unreadable: as a key that cannot be opened.
        if (!FilePath().empty() && error != ENOENT) {
            UseCodePageOfSettings();
            stored.unreadable = true;
            stored.problem = "Settings not read: cannot read " + FilePath() + ": " + std::strerror(error);
            return RegistryOpenResult::Failed;
        }
        // Missing: the key is created, as the registry does, and holds one
        // value already: the user's login name for a nickname, rather than
        // the default no one would keep.
        stored.loginNameTaken = LoginName();
        if (stored.loginNameTaken.empty()) return RegistryOpenResult::Created;
        stored.lines.push_back(std::string(NICKNAME_NAME) + "=" + stored.loginNameTaken);
        return RegistryOpenResult::OpenedExisting;
    }
    // One byte more than is read, to tell a file that is larger.
    std::string text(MOST_READ + 1, '\0');
    text.resize(std::fread(&text[0], 1, text.size(), file));
    std::fclose(file);
    if (text.size() > MOST_READ) {
        // Its values are read from its first megabyte, and it is never
        // written: what lies beyond is the user's.
        text.resize(text.rfind('\n', MOST_READ) == std::string::npos ? 0 : text.rfind('\n', MOST_READ) + 1);
        stored.unreadable = true;
        stored.problem = "Settings not saved: " + FilePath() + " is larger than 1 MB and is left as it is";
    }
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        stored.lines.push_back(line);
        at = end + 1;
    }
    // The file holds the private key: what was read is wiped, as the key
    // store wipes its own copies.
    sodium_memzero(&text[0], text.size());
    return RegistryOpenResult::OpenedExisting;
}

bool RegistryOpenForWrite(const char*, RegistryKey* key) {
    // The lines read at start stay, so that values of other names survive.
    *key = &stored;
    stored.openForWriting = true;
    stored.keyStoreSession = false;
    return true;
}

// The file holds text only: every value is a string, in the locale.
bool RegistryReadString(RegistryKey, const char* name, RegistryValueType* type, std::string* bytes) {
    Touch(name);
    const char* value = ValueOf(name);
    if (!value) return false;
    *type = RegistryValueType::String;
    *bytes = ToWire(FromLocale(value));
    return true;
}

// A decimal number is a DWORD of four bytes; other text is of another type.
bool RegistryReadDword(RegistryKey, const char* name, RegistryValueType* type, size_t* size, uint32_t* value) {
    Touch(name);
    const char* text = ValueOf(name);
    if (!text) return false;
    uint32_t number = 0;
    const bool isNumber = ParseDword(text, &number);
    *type = isNumber ? RegistryValueType::Dword : RegistryValueType::Other;
    *size = isNumber ? sizeof number : std::strlen(text);
    *value = number;
    return true;
}

void RegistryWriteString(RegistryKey, const char* name, const char* text) {
    Touch(name);
    // A line end would start a line of its own in the file.
    std::string value = ToLocale(FromWire(text));
    for (char& c : value) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    SetLine(name, value);
}

void RegistryWriteDword(RegistryKey, const char* name, uint32_t value) {
    Touch(name);
    SetLine(name, std::to_string(value));
}

// The settings open the key for writing to write every value, and close it
// when all are there: the file is written then, whole. The key store's
// values are written the same way, the settings' lines kept, and are no
// /save; reading them alone leaves the settings' load as it was.
void RegistryCloseKey(RegistryKey) {
    const bool keyStore = std::exchange(stored.keyStoreSession, false);
    if (!stored.openForWriting) {
        if (keyStore) stored.loading = stored.loadingBefore;
        if (!keyStore) UseCodePageOfSettings();
        return;
    }
    stored.openForWriting = false;
    WriteFile();
    if (keyStore) return;
    // A write of its own, not the one after loading, is the user's /save:
    // the history says where it went.
    if (std::exchange(stored.loading, false)) return;
    const char* nickname = ValueOf(NICKNAME_NAME);
    const std::string name = ToWire(FromLocale(nickname ? nickname : ""));
    const std::string line = stored.problem.empty() ? "***Nickname " + name + " saved in " + FilePath()
                                                    : "***" + stored.problem;
    AppendHistory((line + "\r\n").c_str());
}

const std::string& LoginNameTaken() { return stored.loginNameTaken; }
