#pragma once
// Resource and command ids, shared by the resource script and the code.

#define IDR_MAINFRAME_ICON 128
#define IDD_BAND 129

#define ID_BAND_TIMER 1

#define ID_MENU_LOCKED 1
#define ID_MENU_AUTOSTART 2
#define ID_MENU_CLOSE 3
