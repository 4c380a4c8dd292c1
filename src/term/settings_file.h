#pragma once
// The terminal's settings store: a text file of "Name=value" lines, one
// value a line, which stands for the registry key. The rules of what each
// value may hold are the settings' own (settings/settings.cpp); the file
// only keeps text.
#include <string>

// $XDG_CONFIG_HOME/norrik/settings.ini, or ~/.config/norrik/settings.ini when
// the variable is not set (or empty, or not an absolute path). Empty when
// neither tells where.
std::string SettingsFilePath(const char* xdgConfigHome, const char* home);

// The store's file; SettingsFilePath of the environment unless set.
void UseSettingsFile(const std::string& path);

// Why the last write of the file failed, as one line for the user; empty
// after a write that worked.
const std::string& SettingsFileProblem();

// The login name the last load took for a nickname, because there was no
// file yet; empty when there was one. A write of the settings other than
// the one after loading (/save) says in the history where it went.
const std::string& LoginNameTaken();
