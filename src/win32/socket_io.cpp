// The transfer engine's socket calls, forwarded to WinSock and to the main
// window as they are.
#include <winsock2.h>
#include <windows.h>

#include "win32/private_messages.h"
#include "win32/main_window.h"
#include "seams/socket_io.h"

int SendOnSocket(SocketHandle socket, const char* data, int length) {
    int sent = send(static_cast<SOCKET>(socket), data, length, 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

int ReceiveFromSocket(SocketHandle socket, char* buffer, int length) {
    int received = recv(static_cast<SOCKET>(socket), buffer, length, 0);
    return received == SOCKET_ERROR ? -1 : received;
}

int LastSocketError() { return WSAGetLastError(); }

void DeliverConnectionEvent(SocketHandle socket, uint32_t event) {
    SendMessageA(shell.mainWindow, WM_CONN_EVENT, static_cast<WPARAM>(socket),
                 MAKELPARAM(static_cast<WORD>(event), 0));
}
