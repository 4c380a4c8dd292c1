#include "fakes/fakes.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <tuple>

#include "app/interpreter.h"
#include "common/text.h"
#include "fakes/reset_core.h"
#include "net/connection.h"
#include "net/secure.h"
#include "net/protocol.h"
#include "res/resource.h"
#include "seams/alerts.h"
#include "seams/controls.h"
#include "seams/front_end_commands.h"
#include "seams/history_pane.h"
#include "seams/input_line.h"
#include "seams/message_box.h"
#include "seams/popups.h"
#include "seams/shell.h"
#include "seams/socket_io.h"
#include "seams/sockets.h"
#include "seams/timer.h"

FakePlatform fake;

namespace {

int registryKey;

bool Fail(int error) { return fake.lastError = error, false; }

SocketHandle NewSocket() {
    SocketHandle socket = 100;
    while (fake.open.count(socket)) socket += 4;
    fake.open.insert(socket);
    return socket;
}

std::string Address(uint32_t address, uint16_t port) {
    return std::string(inet_ntoa(in_addr{address})) + ":" + std::to_string(port);
}

void PostToPeerSocket(uint32_t event) { if (fake.selected[fake.peerSocket] == 2) PostEvent(2, fake.peerSocket, event); }

void PostAcceptIfArmed() {
    if (fake.waitingClients == 0 || !fake.acceptArmed || fake.selected[fake.listening] != 1) return;
    fake.acceptArmed = false;
    PostEvent(1, static_cast<uintptr_t>(fake.listening), SOCKET_EVENT_ACCEPT);
}

FakeMenuItem* ItemOf(std::vector<FakeMenuItem>& items, int id) {
    auto found = std::find_if(items.begin(), items.end(), [id](const FakeMenuItem& item) { return item.id == id; });
    return found == items.end() ? nullptr : &*found;
}

// As the Win32 menu does: the place that shows first or second shows shown.
void ShowInPlace(int first, int second, int shown, const char* text, bool enabled) {
    if (FakeMenuItem* item = ItemOf(fake.mainMenu, shown == first ? second : first)) *item = {shown, text, true};
    if (FakeMenuItem* item = ItemOf(fake.mainMenu, shown)) item->enabled = enabled;
}

bool OpenKey(RegistryKey* key) {
    fake.keyExists = true;
    *key = &registryKey;
    return ++fake.openKeys > 0;
}

}  // namespace

void ResetFakes() {
    fake = FakePlatform{};
    // The items as start-up leaves them: Send Popup grayed in both menus.
    fake.mainMenu = {{IDM_CONNECT, "&Connect to...", true},
                     {IDM_START_SERVER, "&Start Server", true},
                     {IDM_SEND_POPUP, "&Send Popup...", false}};
    fake.trayMenu = {{IDM_TRAY_HIDE, "&Hide", true}, {IDM_TRAY_SEND_POPUP, "&Send Popup...", false}};
    fake.hosts = {{"officepc", inet_addr("192.168.1.20")}, {"hostb", inet_addr("10.0.0.2")},
                  {"a-host-name-of-49-characters-for-the-dialogs-text", inet_addr("10.0.0.49")}};
    ResetCoreState();
}

void PostEvent(int message, uintptr_t target, uint32_t event, int error) {
    fake.queue.push_back({message, target, event, error});
}

void Dispatch() {
    for (int handled = 0; !fake.queue.empty() && handled < 100000; ++handled) {
        FakeEvent next = fake.queue.front();
        fake.queue.pop_front();
        SocketHandle socket = static_cast<SocketHandle>(next.target);
        if (next.message == 1) OnListenEvent(socket, next.event, next.error);
        if (next.message == 2) OnConnectionEvent(socket, next.event, next.error);
        if (next.message == 3) OnResolveDone(next.target, next.error);
    }
}

void Knock() { ++fake.waitingClients, PostAcceptIfArmed(), Dispatch(); }

void PeerSends(const std::string& bytes) {
    fake.inbound.push_back(bytes);
    PostToPeerSocket(SOCKET_EVENT_READ);
    Dispatch();
}
void PeerCloses() { fake.peerClosed = true, PostToPeerSocket(SOCKET_EVENT_CLOSE), Dispatch(); }

void AnswerLookup(size_t index) {
    const FakeLookup& lookup = fake.lookups.at(index);
    auto found = fake.hosts.find(lookup.name);
    if (found == fake.hosts.end()) return PostEvent(3, lookup.handle, 0, 11001);
    // All of it, as a host entry with its lists does: a buffer released too early shows at once.
    std::memset(lookup.buffer, 0x5A, lookup.size);
    std::memcpy(lookup.buffer, &found->second, 4);
    PostEvent(3, lookup.handle, 0);
}

void Elapse(uint32_t ms) {
    const uint32_t until = fake.now + ms;
    for (int runs = 0; runs < 100 && fake.greetingTimerSet; ++runs) {
        if (static_cast<int32_t>(fake.greetingTimerDue - until) > 0) break;
        fake.now = fake.greetingTimerDue, fake.greetingTimerSet = false;
        OnGreetingTimer(), Dispatch();
    }
    fake.now = until;
}

void Type(const std::string& line) { fake.input = line, fake.inputFocused = false, HandleInputLine(); }

void Connected() {
    ResetFakes();
    InitNetwork();
    ConnectTo("127.0.0.1");
    PostEvent(2, connectionState.connSocket, SOCKET_EVENT_CONNECT);
    Dispatch();
    // A peer of the original protocol, known as one by its first line.
    PeerSends(Chat(""));
    fake.history.clear();
    fake.wire.clear();
    fake.sounds.clear();
}

std::string Chat(const std::string& text) { return Control(0, text); }

std::string Control(uint8_t code, const std::string& text) {
    std::string message = (code ? std::string("\x02") + static_cast<char>(code) : "\x01") + text + "\x0C\x0D";
    return message + std::string((WIRE_BLOCK - message.size() % WIRE_BLOCK) % WIRE_BLOCK, '\0');
}

std::string Hex(const char* text) {
    std::string bytes;
    for (char* end = nullptr;; text = end) {
        long value = std::strtol(text, &end, 16);
        if (end == text) return bytes;
        bytes.push_back(static_cast<char>(value));
    }
}

std::string Controls() {
    std::string text;
    for (int i = 0; i < TOOLBAR_BUTTON_COUNT; ++i) text += fake.buttons[i] ? "CDSXPH"[i] : '-';
    for (const auto* menu : {&fake.mainMenu, &fake.trayMenu}) {
        for (const FakeMenuItem& item : *menu) {
            text += (menu == &fake.trayMenu ? "; tray " : "; ") + std::to_string(item.id) + " " + item.text +
                    (item.enabled ? "" : " (gray)");
        }
    }
    return text;
}

// ------------------------------------------------------------- the shell

bool HistoryPaneExists() { return true; }
size_t HistoryPaneTextLength() { return fake.history.size(); }
void HistoryPaneAppend(const char* text) { fake.history += text; }
size_t HistoryPaneTextAt(size_t from, char* buffer, size_t size) {
    return CopyText(buffer, size, from < fake.history.size() ? fake.history.c_str() + from : "");
}
void HistoryPaneDropOldest(size_t count) { fake.history.erase(0, count); }
void HistoryPaneClear() { fake.history.clear(); }

size_t ReadInputLine(char* buffer, size_t size) { return CopyText(buffer, size, fake.input.c_str()); }
void ClearInputLine() { fake.input.clear(); }
void FocusInputLine() { fake.inputFocused = true; }

Command FrontEndCommandFor(const char*, const char**) { return Command::None; }
const char* const FRONT_END_HELP[] = {nullptr};

bool AskForHost() { return fake.shell.push_back("Connect to"), true; }
void OpenSendWindow(const char* caption) { fake.shell.push_back(caption); }
void OpenHelpFile() { fake.shell.push_back("help file"); }
void ShowAbout() { fake.shell.push_back("About"); }
void ShowOptions() { fake.shell.push_back("Options"); }
void HideMainWindow() { fake.shell.push_back("hidden"); }
void ShowMainWindow() { fake.shell.push_back("shown"); }
void ShowAlwaysOnTop(bool on) { fake.shell.push_back(on ? "on top" : "not on top"); }
void ShowToolbar(bool on) { fake.shell.push_back(on ? "toolbar" : "no toolbar"); }
void CloseProgram() { fake.shell.push_back("closed"); }

void ShowErrorBox(const char* text) { fake.boxes.push_back(std::string("icon: ") + text); }
void ShowPlainBox(const char* text) { fake.boxes.push_back(std::string("plain: ") + text); }

void ShowControls(const ControlRow& row, const char* connectItemText, const char* serverItemText) {
    std::copy(std::begin(row.buttons), std::end(row.buttons), std::begin(fake.buttons));
    ShowInPlace(IDM_CONNECT, IDM_DISCONNECT, row.connectItem, connectItemText, row.connectItemEnabled);
    ShowInPlace(IDM_START_SERVER, IDM_STOP_SERVER, row.serverItem, serverItemText, row.serverItemEnabled);
    if (FakeMenuItem* item = ItemOf(fake.mainMenu, IDM_SEND_POPUP)) item->enabled = row.sendPopupItems;
    if (FakeMenuItem* item = ItemOf(fake.trayMenu, IDM_TRAY_SEND_POPUP)) item->enabled = row.sendPopupItems;
}

void StartFlashTimer(unsigned id, unsigned interval) {
    fake.timer = std::to_string(id) + " every " + std::to_string(interval) + " ms";
}
void StopFlashTimer(unsigned id) { if (fake.timer.rfind(std::to_string(id) + " ", 0) == 0) fake.timer.clear(); }
void FlashTitleBar(bool invert) { fake.titleInverted = invert && !fake.titleInverted; }
void SoundTone(unsigned hertz, unsigned ms) {
    fake.sounds.push_back("tone " + std::to_string(hertz) + " " + std::to_string(ms));
}
void PlayWaveFile(const char* path) { fake.sounds.push_back(std::string("wave ") + path); }
void ShowReceivedPopup(const char* caption, const char* text) { fake.popups.push_back(std::string(caption) + ": " + text); }
int OpenReceivedPopupCount() { return static_cast<int>(fake.popups.size() - fake.closedPopups); }
uint32_t MillisecondsNow() { return fake.now; }
void StartGreetingTimer(unsigned ms) { fake.greetingTimerSet = true, fake.greetingTimerDue = fake.now + ms; }
void StopGreetingTimer() { fake.greetingTimerSet = false; }

// ---------------------------------------------------------- the registry

RegistryOpenResult RegistryOpenForRead(const char*, RegistryKey* key) {
    if (fake.refuseRead) return RegistryOpenResult::Failed;
    RegistryOpenResult result = fake.keyExists ? RegistryOpenResult::OpenedExisting : RegistryOpenResult::Created;
    return OpenKey(key), result;
}
bool RegistryOpenForWrite(const char*, RegistryKey* key) { return !fake.refuseWrite && OpenKey(key); }
bool RegistryReadString(RegistryKey, const char* name, RegistryValueType* type, std::string* bytes) {
    auto found = fake.values.find(name);
    if (found == fake.values.end()) return false;
    std::tie(*type, *bytes) = found->second;
    return true;
}
bool RegistryReadDword(RegistryKey, const char* name, RegistryValueType* type, size_t* size, uint32_t* value) {
    auto found = fake.values.find(name);
    if (found == fake.values.end()) return false;
    const std::string& bytes = found->second.second;
    *type = found->second.first, *size = bytes.size(), *value = 0;
    if (bytes.size() <= 4) std::memcpy(value, bytes.data(), bytes.size());  // little-endian, as this machine
    return true;
}
void RegistryWriteString(RegistryKey, const char* name, const char* text) {
    fake.values[name] = {RegistryValueType::String, std::string(text, std::strlen(text) + 1)};
}
void RegistryWriteDword(RegistryKey, const char* name, uint32_t value) {
    fake.values[name] = {RegistryValueType::Dword, std::string(reinterpret_cast<const char*>(&value), 4)};
}
void RegistryCloseKey(RegistryKey) { --fake.openKeys; }

// --------------------------------------------------------------- WinSock

int StartWinSock(uint16_t, WinSockInfo* info) {
    if (fake.startResult != 0) return fake.startResult;
    fake.winsockRunning = true;
    info->version = fake.version;
    CopyText(info->description, "WinSock 2.0");
    CopyText(info->systemStatus, "Running");
    return 0;
}
void CleanupWinSock() { fake.winsockRunning = false; }

SocketHandle OpenStreamSocket() { return fake.refuseSocket ? (Fail(10024), NO_SOCKET) : NewSocket(); }
bool BindSocket(SocketHandle socket, uint32_t address, uint16_t port) {
    if (fake.refuseBind) return Fail(10048);
    fake.remote[socket] = "bound " + Address(address, port);
    return true;
}
bool ListenOnSocket(SocketHandle socket, int) {
    if (fake.refuseListen) return Fail(10048);
    return fake.listening = socket, fake.acceptArmed = true;
}
void SelectListenEvents(SocketHandle socket) { fake.selected[socket] = 1; }
void SelectConnectionEvents(SocketHandle socket) { fake.selected[socket] = 2; }
SocketHandle AcceptOnSocket(SocketHandle) {
    fake.acceptArmed = true;
    if (fake.acceptError != 0) return Fail(fake.acceptError), NO_SOCKET;
    if (fake.waitingClients == 0) return Fail(SOCKET_ERROR_WOULD_BLOCK), NO_SOCKET;
    --fake.waitingClients;
    fake.peerSocket = NewSocket();
    fake.remote[fake.peerSocket] = "accepted";
    fake.peerClosed = false;
    PostAcceptIfArmed();
    return fake.peerSocket;
}
void SendBlocksAtOnce(SocketHandle) {}
void KeepConnectionAlive(SocketHandle socket) { fake.remote[socket] += " keepalive"; }
bool ConnectSocket(SocketHandle socket, uint32_t address, uint16_t port) {
    fake.remote[socket] = "to " + Address(address, port);
    fake.peerSocket = socket;
    fake.peerClosed = false;
    return fake.connectError == 0 || Fail(fake.connectError);
}
bool ShutdownSends(SocketHandle socket) { return fake.remote[socket] += " shut", true; }
void CloseSocket(SocketHandle socket) {
    fake.open.erase(socket);
    fake.remote.erase(socket);
    fake.selected.erase(socket);
    // What the peer sent and nobody read goes with the socket.
    if (socket == fake.peerSocket) fake.peerSocket = NO_SOCKET, fake.inbound.clear();
}
size_t PendingBytes(SocketHandle socket) {
    size_t pending = 0;
    for (const std::string& piece : fake.inbound) pending += socket == fake.peerSocket ? piece.size() : 0;
    return pending;
}
uint32_t ParseDottedAddress(const char* text) { return inet_addr(text); }

uintptr_t StartHostLookup(const char* name, char* buffer, size_t size) {
    if (fake.refuseLookup || !fake.winsockRunning) return 0;
    fake.lookups.push_back({0x2000 + fake.lookups.size(), name, buffer, size});
    return fake.lookups.back().handle;
}
void CancelHostLookup(uintptr_t) {}  // a stub under Wine: the look-up still answers
bool FirstLookupAddress(const char* entry, uint32_t* address) { return std::memcpy(address, entry, 4), *address != 0; }
bool LocalHostName(char* name, size_t size) { return fake.hostName && CopyText(name, size, fake.hostName); }
bool FirstHostAddress(const char*, uint32_t* address) { return (*address = fake.hostAddress) != 0; }
bool PostConnectionEvent(SocketHandle socket, uint32_t event) { return PostEvent(2, socket, event), true; }
bool PostListenEvent(SocketHandle socket, uint32_t event) { return PostEvent(1, socket, event), true; }

int SendOnSocket(SocketHandle socket, const char* data, int length) {
    if (!fake.open.count(socket)) return Fail(10038), -1;  // WSAENOTSOCK
    fake.offers.push_back(length);
    int answer = fake.nextAnswer < fake.sendAnswers.size() ? fake.sendAnswers[fake.nextAnswer++] : length;
    if (answer < 0) return Fail(answer == -1 ? SOCKET_ERROR_WOULD_BLOCK : 10054), -1;
    fake.wire.append(data, static_cast<size_t>(std::min(answer, length)));
    return answer;  // may claim more than it was offered
}

int ReceiveFromSocket(SocketHandle socket, char* buffer, int length) {
    if (socket != fake.peerSocket) return Fail(10038), -1;
    fake.asks.push_back(length);
    if (fake.inbound.empty()) return fake.peerClosed ? 0 : (Fail(SOCKET_ERROR_WOULD_BLOCK), -1);
    std::string& piece = fake.inbound.front();
    size_t count = std::min(piece.size(), static_cast<size_t>(length));
    std::memcpy(buffer, piece.data(), count);
    piece.erase(0, count);
    if (piece.empty()) fake.inbound.pop_front();
    if (!fake.inbound.empty()) PostToPeerSocket(SOCKET_EVENT_READ);  // as Wine does after a read that leaves data
    return static_cast<int>(count);
}

int LastSocketError() { return fake.lastError; }

void DeliverConnectionEvent(SocketHandle socket, uint32_t event) {
    // The longest message nests 51 deep, or 504 taken a byte at a time.
    if (++fake.depth > 600) std::fputs("self-delivery of FD_WRITE does not stop\n", stderr), std::abort();
    OnConnectionEvent(socket, event, 0);
    --fake.depth;
}
