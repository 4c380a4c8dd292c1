#pragma once
// The platform under the core, for the native tests, fuzz targets and benchmark:
// what a user and a peer see afterwards (history, controls, alerts, boxes, the
// registry, the bytes on the wire), and a WinSock that behaves as Wine's: numbers
// reused at once, notifications only for selected sockets, FD_READ posted again
// while bytes remain, look-ups that read their name only when they answer.
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fakes/encrypted_layer.h"
#include "net/connection_state.h"
#include "seams/controls.h"
#include "seams/settings_store.h"

struct FakeMenuItem { int id; std::string text; bool enabled; };
struct FakeLookup { uintptr_t handle; const char* name; char* buffer; size_t size; };
struct FakeEvent { int message; uintptr_t target; uint32_t event; int error; };  // message 1 listen, 2 conn, 3 look-up

struct FakePlatform {
    std::string history, input;
    bool inputFocused = false;
    std::vector<std::string> boxes;  // "icon: text" or "plain: text"; the caption is "Error" for both
    bool buttons[TOOLBAR_BUTTON_COUNT] = {true, false, true, false, false, true};  // IDT_CONNECT .. IDT_HELP
    std::vector<FakeMenuItem> mainMenu, trayMenu;
    std::string timer;  // "<id> every <ms> ms" while the flash timer runs
    bool titleInverted = false;
    std::vector<std::string> sounds, popups;  // sounds: "tone <Hz> <ms>", "wave <path>"
    size_t closedPopups = 0;                  // of those, closed by the user
    std::vector<std::string> shell;           // the windows and dialogs commands opened, by caption
    uint32_t now = 0;                         // the millisecond clock
    bool greetingTimerSet = false;            // and when it is due
    uint32_t greetingTimerDue = 0;

    bool keyExists = false, refuseRead = false, refuseWrite = false;
    std::map<std::string, std::pair<RegistryValueType, std::string>> values;  // how each is stored, its bytes
    int openKeys = 0;

    int startResult = 0, lastError = 0, connectError = 10035;  // connect answers would-block, or 0: at once
    uint16_t version = 0x0101;
    bool winsockRunning = false, refuseSocket = false, refuseBind = false, refuseListen = false, refuseLookup = false;
    std::set<SocketHandle> open;                 // from 100 in steps of 4, lowest free first
    std::map<SocketHandle, std::string> remote;  // "bound a.b.c.d:port", "to a.b.c.d:port", "accepted", " keepalive"
    std::map<SocketHandle, int> selected;        // 1 listen events, 2 connection events
    SocketHandle listening = NO_SOCKET;
    int waitingClients = 0, acceptError = 0;
    bool acceptArmed = true;                // FD_ACCEPT comes once, and again only after an accept
    std::map<std::string, uint32_t> hosts;  // what a look-up of a name finds
    std::vector<FakeLookup> lookups;
    const char* hostName = "testhost";  // null: gethostname fails
    uint32_t hostAddress = 0x0B01A8C0;  // 192.168.1.11; 0: gethostbyname fails
    std::deque<FakeEvent> queue;

    // The one peer: what it received, and what it sends on which socket.
    std::string wire;
    std::vector<int> sendAnswers;  // per send: n takes n bytes, -1 would-block, -2 fails; then all
    std::vector<int> offers;       // how many bytes each send offered
    std::vector<int> asks;         // how many bytes each receive asked for
    size_t nextAnswer = 0;
    SocketHandle peerSocket = NO_SOCKET;
    std::deque<std::string> inbound;  // a read takes at most one piece
    bool peerClosed = false;          // reads answer 0 once nothing is left
    int depth = 0;
};

extern FakePlatform fake;

// Fresh fakes and fresh core state.
void ResetFakes();
// WinSock posting to the main window, and the message loop handling the queue.
void PostEvent(int message, uintptr_t target, uint32_t event, int error = 0);
void Dispatch();

void Knock();                              // a client connects to the listening socket
void PeerSends(const std::string& bytes);  // the bytes arrive, FD_READ is posted and handled
void PeerCloses();                         // FD_CLOSE is posted and handled
void AnswerLookup(size_t index);           // WinSock finishes look-up number index
void Elapse(uint32_t ms);                  // the clock moves on; the greeting timer runs when due
void Type(const std::string& line);        // typed into the input line, then Enter
void Connected();  // fresh fakes, connected to 127.0.0.1, settled as not encrypted; history, wire, sounds emptied

// A chat (code 0) or control message as it travels: terminated, padded to blocks.
std::string Chat(const std::string& text);
std::string Control(uint8_t code, const std::string& text);
std::string Hex(const char* text);  // "01 68 69" as bytes

// Toolbar buttons (C D S X P H, '-' when off), then "; id text" for each
// main and tray menu item, with " (gray)" when grayed.
std::string Controls();
