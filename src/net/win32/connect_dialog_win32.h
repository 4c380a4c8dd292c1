#pragma once
// The Connect to dialog, run modally over the main window.
void RunConnectDialog();
