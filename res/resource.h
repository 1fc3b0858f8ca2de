#pragma once
// Resource identifiers.
//
// Menu commands of the item and option menus use the items' tags as their IDs
// (101-106, 201-209, 301, 1001-1010), so a command's ID is its tag.

// Icons
#define IDI_VELLUMIX 1
#define IDI_SHRED 10
#define IDI_OPTIONS 11
#define IDI_HELP 12
#define IDI_EXIT 13
#define IDI_GRAYBALL 20
#define IDI_REDBALL 21
#define IDI_GREENBALL 22

// Menus and accelerators
#define IDM_MAIN 100
#define IDA_MAIN 100

// Item commands (ID = tag)
#define IDC_IECACHE 101
#define IDC_IEHISTORY 102
#define IDC_IECOOKIE 103
#define IDC_IEURL 104
#define IDC_GOOGLESEARCHHISTORY 105
#define IDC_INTERNETALL 106
#define IDC_RECENTDOC 201
#define IDC_MSMEDIAPLAYER 202
#define IDC_REALPLAYER 203
#define IDC_DELPHI 204
#define IDC_VB 205
#define IDC_VC 206
#define IDC_RECYCLE 207
#define IDC_TEMPFILES 208
#define IDC_DOCALL 209
#define IDC_CLEARALL 301
// The hidden Oicq item: its own ID, tag 105.
#define IDC_OICQUSERLIST 1105

// Option toggles (ID = tag)
#define IDC_AUTORUN 1001
#define IDC_MINRUN 1002
#define IDC_TRAYICON 1003
#define IDC_GRADIENTMENU 1004
#define IDC_EJECTCDROM 1010

// Actions and other commands
#define IDC_START 400
#define IDC_OPTION 401
#define IDC_HELPCONTENTS 402
#define IDC_EXIT 403
#define IDC_FAQ 404
#define IDC_HOMEPAGE 405
#define IDC_ABOUT 406

// Hints of the pop-up menus (string table)
#define IDS_MENUMODE 500
#define IDS_INTERNETITEMS 501
#define IDS_DOCUMENTSITEMS 502

// Main window children
#define IDC_MEMO 600
#define IDC_SPEEDBAR 601
#define IDC_STATUSBAR 602
#define IDC_DFSSTATUSBAR 603
