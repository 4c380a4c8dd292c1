#include "app/toolbar_rules.h"

#include <cstring>

#include "common/text.h"
#include "res/resource.h"

const char* const HELP_FILE_NAME = "nrkhelp.txt";

namespace {

const char* const TOOLTIP_TEXTS[TOOLBAR_BUTTON_COUNT] = {
    "Connect", "Disconnect", "Start Server", "Stop Server", "Send Popup...", "Help",
};

}  // namespace

const char* TooltipTextFor(uintptr_t buttonId) {
    if (buttonId < IDT_CONNECT || buttonId > IDT_HELP) return nullptr;
    return TOOLTIP_TEXTS[buttonId - IDT_CONNECT];
}

bool HelpPathFromExecutable(const char* executablePath, char* helpPath, size_t size) {
    const char* lastBackslash = std::strrchr(executablePath, '\\');
    if (!lastBackslash) return false;
    size_t directoryLength = static_cast<size_t>(lastBackslash - executablePath) + 1;
    if (directoryLength + std::strlen(HELP_FILE_NAME) + 1 > size) return false;
    std::memcpy(helpPath, executablePath, directoryLength);
    CopyText(helpPath + directoryLength, size - directoryLength, HELP_FILE_NAME);
    return true;
}
