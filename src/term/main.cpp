// norrik for terminals: the screen, or norrik send.
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "term/arguments.h"
#include "term/screen.h"
#include "term/send_mode.h"
#include "settings/settings.h"

int main(int argc, char** argv) {
    // A peer that goes away while we write is told by the send's result.
    std::signal(SIGPIPE, SIG_IGN);
    // Text is typed, shown and given in the locale's characters.
    std::setlocale(LC_ALL, "");
    IncludeTerminalSettings();
    Arguments arguments = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
    switch (arguments.mode) {
    case RunMode::Help: std::fputs(USAGE_TEXT, stdout); return 0;
    case RunMode::Version: std::printf("norrik %s\n", NORRIK_VERSION_TEXT); return 0;
    case RunMode::Refused:
        std::fprintf(stderr, "norrik: %s\nTry 'norrik --help'.\n", arguments.refusal.c_str());
        return 2;
    case RunMode::Send: {
        std::string failure;
        const int status = SendCommand(arguments, STDIN_FILENO, &failure);
        if (status != 0) std::fprintf(stderr, "norrik: %s\n", failure.c_str());
        return status;
    }
    case RunMode::Screen: break;
    }
    return RunScreen(arguments);
}
