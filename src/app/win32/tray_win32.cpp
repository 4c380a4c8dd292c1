#include "app/win32/shell_parts.h"

// No icon is put in the notification area yet.
void AddTrayIcon() {}
void RemoveTrayIcon() {}
void OnTrayNotify(LPARAM) {}
