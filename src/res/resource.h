// Resource identifiers of Norrik. Shared by the resource script and the code;
// only plain #defines here, so that windres can read it too.
#ifndef NORRIK_RESOURCE_H
#define NORRIK_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Menus
#define IDR_MAINMENU 102
#define IDR_TRAYMENU 119

// Dialogs
#define IDD_CONNECT 103
#define IDD_ABOUT 112
#define IDD_OPTIONS 115
#define IDD_SEND_POPUP 116
#define IDD_RECV_POPUP 118

// Icons and bitmaps
#define IDB_TOOLBAR 111
#define IDB_TOOLBAR_24 121
#define IDB_TOOLBAR_32 122
#define IDI_MAIN 114
#define IDI_POPUP 120

// Main menu items
#define IDM_EXIT 40001
#define IDM_CONNECT 40002
#define IDM_START_SERVER 40003
#define IDM_CLEAR_HISTORY 40005
#define IDM_ABOUT 40006
#define IDM_HELP 40008
#define IDM_OPTIONS 40018
#define IDM_SEND_POPUP 40019
#define IDM_ALWAYS_ON_TOP 40020
#define IDM_SHOW_TOOLBAR 40021

// What the connection items turn into while they mean the opposite
#define IDM_DISCONNECT 9922
#define IDM_STOP_SERVER 9924

// Tray menu items
#define IDM_TRAY_HIDE 40011
#define IDM_TRAY_SEND_POPUP 40012
#define IDM_TRAY_OPTIONS 40013
#define IDM_TRAY_ABOUT 40014
#define IDM_TRAY_QUIT 40015
#define IDM_TRAY_SHOW 9934

// Toolbar: the control and its buttons (the tooltip texts are indexed by
// button identifier minus IDT_CONNECT)
#define IDC_TOOLBAR 2848
#define IDT_CONNECT 8000
#define IDT_DISCONNECT 8001
#define IDT_START_SERVER 8002
#define IDT_STOP_SERVER 8003
#define IDT_SEND_POPUP 8004
#define IDT_HELP 8005

// Connect to dialog
#define IDC_HOST 1000
#define IDC_CONNECT_OK 1001
#define IDC_CONNECT_CANCEL 1002

// About dialog
#define IDC_WEBPAGE 1004
#define IDC_EMAIL 1005

// Options page
#define IDC_NICKNAME 1008
#define IDC_FLASHTITLE 1009
#define IDC_TRAYICON 1014
#define IDC_IGNOREPOPUP 1015
#define IDC_PLAYSOUND 1016
#define IDC_SOUNDPATH 1017
#define IDC_BROWSE 1018
#define IDC_BEEP 1019
#define IDC_STARTINTRAY 1025
#define IDC_QUITMESSAGE 1026
#define IDC_REQUIREENCRYPTION 1027

// Popup windows
#define IDC_POPUP_TEXT 1020
#define IDC_SEND 1021
#define IDC_CLOSE 1022
#define IDC_REPLY 1023

#endif
