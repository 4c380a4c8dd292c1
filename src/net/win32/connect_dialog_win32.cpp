#include "net/win32/connect_dialog_win32.h"

// Nothing to connect with yet: the dialog comes with the connection manager.
void RunConnectDialog() {}
