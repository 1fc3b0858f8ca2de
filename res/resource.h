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
#define IDI_PREVIEW 14
#define IDI_GRAYBALL 20
#define IDI_REDBALL 21
#define IDI_GREENBALL 22

// Menus and accelerators
#define IDM_MAIN 100
#define IDA_MAIN 100
#define IDM_TRAY 110
#define IDM_LOGPANE 120

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
#define IDC_PREVIEW 407

// The notification-area icon's menu
#define IDC_TRAYRESTORE 410
#define IDC_TRAYSHRED 411
#define IDC_TRAYOPTIONS 412
#define IDC_TRAYHELP 413
#define IDC_TRAYEXIT 414

// The log pane's own menu
#define IDC_LOGCOPY 420
#define IDC_LOGSELECTALL 421
#define IDC_LOGSAVE 422
#define IDC_LOGCLEAR 423

// Hints of the pop-up menus (string table)
#define IDS_MENUMODE 500
#define IDS_INTERNETITEMS 501
#define IDS_DOCUMENTSITEMS 502

// Main window children
#define IDC_MEMO 600
#define IDC_SPEEDBAR 601
#define IDC_STATUSBAR 602
#define IDC_DFSSTATUSBAR 603

// Tab icons of the options dialog (16, 24 and 32 pixels)
#define IDI_TABINTERNET 30
#define IDI_TABDOCUMENTS 31
#define IDI_TABGENERAL 32
#define IDI_TABSCHEDULE 33
#define IDI_TABBLINDER 34
#define IDI_TABBROWSERS 35
#define IDI_TABWINDOWS 36

// Options dialog and its pages (the Browsers and Windows pages share one template)
#define IDD_OPTIONS 2000
#define IDD_OPTINTERNET 2001
#define IDD_OPTDOCUMENTS 2002
#define IDD_OPTGENERAL 2003
#define IDD_OPTSCHEDULE 2004
#define IDD_OPTBLINDER 2005
#define IDD_OPTITEMS 2006
#define IDC_PAGECONTROL 2100
#define IDC_HELPBTN 2101
#define IDC_CBXINTERNETTEMP 2110
#define IDC_CBXHISTRORY 2111
#define IDC_CBXCOOKIE 2112
#define IDC_CBXADDRESS 2113
#define IDC_CBXGOOGLEHISTORY 2114
#define IDC_CBXRECENTDOC 2120
#define IDC_CBXMSMEDIAPLY 2121
#define IDC_CBXREALPLY 2122
#define IDC_CBXDELPHI5 2123
#define IDC_CBXVB6 2124
#define IDC_CBXVC6 2125
#define IDC_LBLWARNINGDOC 2126
#define IDC_CBXTEMPFILES 2127
#define IDC_CBXKEEPTEMPFILES 2128
#define IDC_CBXRECYCLE 2129
#define IDC_CBXAUTORUN 2130
#define IDC_CBXMINRUN 2131
#define IDC_CBXTRAYICON 2132
#define IDC_CBXGRADIENTMENU 2133
#define IDC_CBXCDROM 2134
#define IDC_LBLEJECTDES 2135
#define IDC_CBXSCHEDULE 2140
#define IDC_LABEL1 2141
#define IDC_CBBXSCHEDULE 2142
#define IDC_LBLSTARTTIME 2143
#define IDC_DATETIMEPICKER 2144
#define IDC_CBXSCHEDULESTART 2145
#define IDC_CBXSCHEDULESHUT 2146
#define IDC_CBXACTIVEBLINDER 2150
#define IDC_CBXBLINDERICON 2151
#define IDC_IMGNOTIFICATIONAREA 2152
#define IDC_ITEMLIST 2160
#define IDC_ITEMHINT 2161

// Shred-all confirmation (Yes and No are IDYES and IDNO)
#define IDD_CONFIRMSHREDALL 2200
#define IDC_IMAGE1 2201
#define IDC_CONFIRMLABEL 2202
#define IDC_CBXCONFIRMSHREDALL 2203

// About box (OK is IDOK)
#define IDD_ABOUT 2300
#define IDC_PROGRAMICON 2301
#define IDC_PRODUCTNAME 2302
#define IDC_VERSION 2303
#define IDC_NOTICE 2304
#define IDC_COMMENTS 2305

// The third-party notices shown in the About box (RCDATA)
#define IDR_NOTICES 2400

// The preview window.
#define IDD_PREVIEW 2400
#define IDC_PREVIEWITEMS 2401
#define IDC_PREVIEWENTRIES 2402
#define IDC_PREVIEWTOTALS 2403
#define IDC_PREVIEWEXPORT 2404
#define IDC_PREVIEWITEMSLABEL 2405
#define IDC_PREVIEWENTRIESLABEL 2406
