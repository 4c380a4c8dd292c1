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
#include "term/code_page.h"

namespace {

// More than any message takes: enough to say how much too long a text is.
constexpr size_t MOST_READ_FROM_INPUT = 1 << 20;

std::string ReadStandardInput() {
    std::string text;
    char block[4096];
    ssize_t count;
    while (text.size() < MOST_READ_FROM_INPUT && (count = read(STDIN_FILENO, block, sizeof block)) > 0) {
        text.append(block, static_cast<size_t>(count));
    }
    // The line end that ends what echo or a here-document gives.
    if (!text.empty() && text.back() == '\n') text.pop_back();
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

int Send(const Arguments& arguments) {
    const std::string text = arguments.textGiven ? arguments.text : ReadStandardInput();
    // A settings file that cannot be written does not stop a send, and the
    // send's one line on standard error stays its outcome's. Its code page
    // is what the limits count in.
    LoadCurrentSettings();
    UseCodePage(static_cast<uint32_t>(CurrentSettings().CodePage));
    std::string refusal = SendTextRefusal(arguments, text);
    if (!refusal.empty()) {
        std::fprintf(stderr, "norrik: %s\n", refusal.c_str());
        return 1;
    }
    std::string failure;
    int status = RunSend(arguments, text, &failure);
    if (status != 0) std::fprintf(stderr, "norrik: %s\n", failure.c_str());
    return status;
}

}  // namespace

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
    case RunMode::Send: return Send(arguments);
    case RunMode::Screen: break;
    }
    return RunScreen(arguments);
}
