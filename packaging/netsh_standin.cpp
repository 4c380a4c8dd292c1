// Stands in for netsh.exe while the installer is checked under Wine, where
// the firewall does not exist: it only appends the command line it was
// started with to the file named by NORRIK_NETSH_LOG, so that the check can
// see which netsh the installer ran and with what rule.
#include <windows.h>

#include <cstdio>

int main() {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("NORRIK_NETSH_LOG", path, sizeof path);
    if (length == 0 || length >= sizeof path) return 1;
    FILE* log = std::fopen(path, "a");
    if (!log) return 1;
    std::fprintf(log, "%s\n", GetCommandLineA());
    std::fclose(log);
    return 0;
}
