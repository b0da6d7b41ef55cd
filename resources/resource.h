// Resource ids of the program (dialogs, controls, menus, bitmaps, icons).
#pragma once

// --- application ---------------------------------------------------------
#define IDR_MAINFRAME 100
#define IDI_QVR500 100

// --- commands (menu, toolbar, accelerators) --------------------------------
#define ID_APP_EXIT 32768
#define ID_APP_ABOUT 32769
#define ID_DOWNLOAD_FIRMWARE 32771
#define ID_FILE_NEW 32773
#define ID_FILE_OPEN 32774
#define ID_FILE_SAVE 32775
#define ID_FILE_SAVE_AS 32776
#define ID_SELECT_DEVICE 32777
#define ID_CONNECT 32778
#define ID_DISCONNECT 32779
#define ID_COPY_CHANNEL 32780
#define ID_SYSTEM_MUTE 32781
#define ID_DIAGNOSTICS 32783
#define ID_PROFILE_INFO 32785

// --- shell dialogs and pictures --------------------------------------------
// (begin shell ids)
// (end shell ids)

// --- editor form (dialog 308) ----------------------------------------------
#define IDD_CROSSOVER 308
// (begin editor ids)
// (end editor ids)
