#include "term/arguments.h"

#include <cstdlib>

#include "net/connection_state.h"

const char* const USAGE_TEXT =
    "Usage: norrik [--server | HOST]\n"
    "       norrik send [--popup] [--nick NAME] [--timeout SECONDS] HOST [TEXT...]\n"
    "\n"
    "A one-to-one chat and popup messenger on TCP port 6374.\n"
    "\n"
    "  norrik            start idle; /connect HOST or /server from there\n"
    "  norrik --server   start listening for a peer at once\n"
    "  norrik HOST       connect to HOST (a name or a dotted IPv4 address) at once\n"
    "\n"
    "  norrik send HOST TEXT...   connect, send TEXT as one chat line, quit;\n"
    "                             without TEXT, standard input is sent\n"
    "    --popup            send a popup message instead of a chat line\n"
    "    --nick NAME        greet the peer as NAME, not as the settings' nickname\n"
    "    --timeout SECONDS  give up after this long (default 10)\n"
    "\n"
    "  --help      show this text\n"
    "  --version   show the version\n"
    "\n"
    "Type /help in the program for its commands. Settings: $XDG_CONFIG_HOME/norrik/settings.ini\n"
    "(~/.config/norrik/settings.ini). Exit status of send: 0 delivered, 1 not,\n"
    "2 nothing to send or a command line not understood.\n";

namespace {

Arguments Refuse(const std::string& why) {
    Arguments refused;
    refused.mode = RunMode::Refused;
    refused.refusal = why;
    return refused;
}

bool ParseSeconds(const std::string& text, int* seconds) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *seconds = std::atoi(text.c_str());
    return *seconds >= 1 && *seconds <= LONGEST_SEND_TIMEOUT;
}

Arguments ParseSend(const std::vector<std::string>& arguments) {
    Arguments parsed;
    parsed.mode = RunMode::Send;
    size_t at = 1;
    for (; at < arguments.size() && arguments[at].size() > 1 && arguments[at][0] == '-'; ++at) {
        const std::string& option = arguments[at];
        if (option == "--") {
            ++at;
            break;
        }
        if (option == "--help" || option == "-h") {
            parsed.mode = RunMode::Help;
            return parsed;
        }
        if (option == "--popup") {
            parsed.popup = true;
        } else if (option == "--nick" || option == "--timeout") {
            if (at + 1 >= arguments.size()) return Refuse(option + " needs a value");
            const std::string& value = arguments[++at];
            if (option == "--nick") {
                if (value.empty()) return Refuse("--nick needs a name");
                parsed.nickGiven = true;
                parsed.nick = value;
            } else if (!ParseSeconds(value, &parsed.timeout)) {
                return Refuse("--timeout takes whole seconds from 1 to 86400, not " + value);
            }
        } else {
            return Refuse("unknown option " + option);
        }
    }
    if (at >= arguments.size()) return Refuse("send needs a HOST");
    parsed.host = arguments[at++];
    // As the program on the screen refuses it: cut to fit, it would name
    // another host.
    if (parsed.host.size() >= CONNECT_HOST_SIZE) {
        return Refuse("the host name is " + std::to_string(parsed.host.size()) + " characters; it takes at most " +
                      std::to_string(CONNECT_HOST_SIZE - 1));
    }
    // "--" after HOST too ends the options, so that a script may always
    // put it before a text of its own.
    if (at < arguments.size() && arguments[at] == "--") ++at;
    parsed.textGiven = at < arguments.size();
    for (const size_t first = at; at < arguments.size(); ++at) {
        if (at > first) parsed.text += ' ';
        parsed.text += arguments[at];
    }
    return parsed;
}

}  // namespace

Arguments ParseArguments(const std::vector<std::string>& arguments) {
    if (!arguments.empty() && arguments[0] == "send") return ParseSend(arguments);
    Arguments parsed;
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            parsed.mode = RunMode::Help;
            return parsed;
        }
        if (argument == "--version") {
            parsed.mode = RunMode::Version;
            return parsed;
        }
    }
    if (arguments.size() > 1) return Refuse("too many arguments");
    if (arguments.size() == 1) {
        if (arguments[0] == "--server") {
            parsed.startServer = true;
        } else if (arguments[0].empty() || arguments[0][0] == '-') {
            return Refuse("unknown option " + arguments[0]);
        } else {
            parsed.host = arguments[0];
        }
    }
    return parsed;
}
