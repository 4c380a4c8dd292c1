#pragma once
// The command line of the terminal program:
//   norrik [--server | HOST]
//   norrik send [--popup] [--nick NAME] [--timeout SECONDS] HOST [TEXT...]
//   norrik --help | --version
#include <string>
#include <vector>

enum class RunMode { Screen, Send, Help, Version, Refused };

constexpr int DEFAULT_SEND_TIMEOUT = 10;  // seconds
constexpr int LONGEST_SEND_TIMEOUT = 86400;

struct Arguments {
    RunMode mode = RunMode::Screen;
    bool startServer = false;  // the screen, listening at once
    std::string host;          // the screen: connected to at once; send: the peer
    bool popup = false;        // send: a popup message, not a chat line
    bool nickGiven = false;
    std::string nick;
    int timeout = DEFAULT_SEND_TIMEOUT;
    bool textGiven = false;    // send: the text is in the arguments, not on standard input
    std::string text;          // the arguments after HOST, joined by blanks
    std::string refusal;       // why the command line was refused
};

Arguments ParseArguments(const std::vector<std::string>& arguments);

// The text of --help.
extern const char* const USAGE_TEXT;
