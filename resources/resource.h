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
#define ID_VIEW_SUMMED_RESPONSE 32800
#define ID_VIEW_PHASE 32801
#define ID_VIEW_MEASUREMENTS 32802
#define ID_VIEW_MEASURED 32803
#define ID_VIEW_PREDICTED 32804
#define ID_VIEW_TARGET 32805
#define ID_SAVE_LINK_LOG 32790
#define ID_EDIT_UNDO 32810
#define ID_EDIT_REDO 32811

// --- shell dialogs and pictures --------------------------------------------
// (begin shell ids)
#define IDI_PLM40 227
#define IDB_TOOLBAR 300
#define IDB_SPLASH_LOGO 345
#define IDB_SPLASH_UNIT 224
#define IDB_SPLASH_STRAP 343
#define IDB_SPEAKERLIB 221

#define IDD_SPLASH 202
#define IDC_SPLASH_VERSION 1342
#define IDC_SPLASH_FIRMWARE 249

#define IDD_CONNECTING 218

#define IDD_DISCONNECT 356
#define IDC_DO_NOT_SAVE 1541
#define IDC_HIDDEN_DEFAULT 1542

#define IDD_PLM40LINK 228
#define IDC_LINK_QVR 318
#define IDC_LINK_PLM 319

#define IDD_SELECT_DEVICE 359
#define IDC_DEVICE_LIST 1003

#define IDD_DOWNLOAD 380
#define IDC_DOWNLOAD_PATH 259
#define IDC_DOWNLOAD_BROWSE 260
#define IDC_DOWNLOAD_START 261
#define IDC_DOWNLOAD_STATUS 262
#define IDC_DOWNLOAD_PROGRESS 316
#define IDC_DOWNLOAD_ESTIMATE 317

#define IDD_TERMINAL 381
#define IDC_TERMINAL_EDIT 310

// Strings (texts in resources/strings/strings.inc).
#define IDS_APP_TITLE 100
#define IDS_UNTITLED 512
#define IDS_FONT_TAHOMA 513
#define IDS_FONT_ARIAL 514
#define IDS_PLOT_FONT 515       // face of the plot's labels
#define IDS_COMM_FAILED 516
#define IDS_CONNECTED 517
#define IDS_DISCONNECTED 518
#define IDS_DEVICE_NOT_FOUND 520
#define IDS_NONE 521
#define IDS_FIRMWARE_REVISION 522
#define IDS_COMM_LOST 524
#define IDS_CONNECT_FAILED 525
#define IDS_SUBWOOFER 526       // the Subwoofer's default speaker name
#define IDS_DEFAULT_TRIAMP 527  // the other channels' default speaker name
#define IDS_MODE_WARNING 528    // the editor's mode-change question
#define IDS_CHANNEL_FONT 530    // face of the editor's channel buttons
#define IDS_LINK_QUESTION 531
// Document commands: messages about configuration files.
#define IDS_FILE_CANNOT_OPEN 700
#define IDS_FILE_CANNOT_SAVE 701
#define IDS_FILE_REFUSED 702
#define IDS_FILE_NOT_CONFIGURATION 703
#define IDS_FILE_SHORT 704
#define IDS_FILE_UNREADABLE 705
#define IDS_PATH_TOO_LONG 706
#define IDS_SAVE_NOT_REGULAR 707
#define IDS_SAVE_CANNOT_CREATE 708
#define IDS_SAVE_WRITE_FAILED 709
#define IDS_SAVE_CANNOT_REPLACE 710
// The connection and the read-back of the unit.
#define IDS_CONFIG_PUT_BACK 720     // second line of "Communication ... lost." when a read-back failed
#define IDS_READ_BACK_REJECTED 721  // values of the unit's replies that were not taken, and the question
#define IDS_UNIT_HOLDS 722          // status bar: a field where the unit holds another value
#define IDS_UNIT_DIFFERS 723        // status bar: after No, how many fields differ from the unit
#define IDS_LINK_LOG_CANNOT_SAVE 760
// Edit menu items: with nothing to take back, and naming the step (%ls).
#define IDS_UNDO_NOTHING 790
#define IDS_UNDO_STEP 791
#define IDS_REDO_NOTHING 792
#define IDS_REDO_STEP 793
// Open: values of a file that must not reach the unit unasked.
#define IDS_OPEN_NOT_NUMBERS 740
#define IDS_OPEN_CONFIRM_RANGES 741
#define IDS_OPEN_VALUE_OUTSIDE 742
#define IDS_OPEN_VALUE_NOT_NUMBER 743
#define IDS_OPEN_MORE_VALUES 744
#define IDS_OPEN_DAMAGED 738        // a record claims another channel than its place
#define IDS_OPEN_RECORD_CLAIMS 739
// Save: the system took the old file away and the new one could not take its place.
#define IDS_SAVE_KEPT_ASIDE 745
#define IDS_SAVE_KEPT_BESIDE 750

// Firmware download and diagnostics terminal (texts in resources/strings/strings.inc).
#define IDS_FIRMWARE_OPEN_FAILED 523
#define IDS_ERASING_FLASH 600
#define IDS_WRITING_FLASH 601
#define IDS_DOWNLOAD_COMPLETE 602
#define IDS_DOWNLOAD_ESTIMATE 603
#define IDS_FIRMWARE_FILTER_NAME 604
#define IDS_FIRMWARE_FILTER_PATTERN 605
#define IDS_DOWNLOAD_LINK_LOST 609
#define IDS_DOWNLOAD_NEEDED 610
#define IDS_DOWNLOAD_NOT_COMPLETE 611
#define IDS_FIRMWARE_EXTENT 612
#define IDS_VERIFIED_EXTENT 613
#define IDS_VERIFY_FAILED_AT 614
#define IDS_VERIFY_WORDS 615
#define IDS_FIRMWARE_UNREADABLE 620
#define IDS_FIRMWARE_TOO_LARGE 621
#define IDS_FIRMWARE_BAD_HEADER 622
#define IDS_FIRMWARE_BAD_RECORD 623
#define IDS_FIRMWARE_TRUNCATED 624
#define IDS_FIRMWARE_TOO_MANY_WORDS 625
#define IDS_FIRMWARE_NO_WORDS 626
#define IDS_TERMINAL_NOT_CONNECTED 630
#define IDS_TERMINAL_INVALID_ENTRY 631
// (end shell ids)

// --- editor form (dialog 308) ----------------------------------------------
#define IDD_CROSSOVER 308
// (begin editor ids)
#define IDC_CH_LEFT 201
#define IDC_CH_LEFT_CENTER 202
#define IDC_CH_CENTER 203
#define IDC_CH_RIGHT_CENTER 204
#define IDC_CH_RIGHT 205
#define IDC_CH_SUBWOOFER 206
#define IDC_BIAMP 207
#define IDC_TRIAMP 208
#define IDC_PLOT 209
#define IDC_LOW_LP_FREQ 211
#define IDC_LOW_DELAY 212
#define IDC_LOW_PEQ_FREQ 213
#define IDC_MID_HP_FREQ 214
#define IDC_MID_PEQ_FREQ 215
#define IDC_MID_DELAY 216
#define IDC_LOW_PEQ_GAIN 217
#define IDC_MID_PEQ_GAIN 218
#define IDC_LOW_PEQ_Q 219
#define IDC_MID_PEQ_Q 220
#define IDC_LOW_GAIN 221
#define IDC_MID_GAIN 222
#define IDC_MID_LP_FREQ 223
#define IDC_HIGH_HP_FREQ 224
#define IDC_LOW_MUTE 225
#define IDC_LOW_INVERT 226
#define IDC_MID_MUTE 227
#define IDC_MID_INVERT 228
#define IDC_HIGH_PEQ_FREQ 229
#define IDC_HIGH_PEQ_Q 230
#define IDC_HIGH_PEQ_GAIN 231
#define IDC_HIGH_GAIN 232
#define IDC_HIGH_DELAY 233
#define IDC_SPEAKER 236
#define IDC_SEQ_FREQ 237
#define IDC_SEQ_GAIN 238
#define IDC_HEQ_FREQ 239
#define IDC_HEQ_GAIN 240
#define IDC_MID_GROUP 241
#define IDC_MID_HP_FREQ_LABEL 242
#define IDC_MID_LP_FREQ_LABEL 243
#define IDC_MID_GAIN_LABEL 244
#define IDC_MID_DELAY_LABEL 245
#define IDC_MID_PEQ_FREQ_LABEL 246
#define IDC_MID_PEQ_Q_LABEL 247
#define IDC_MID_PEQ_GAIN_LABEL 248
#define IDC_HP_FREQ 250
#define IDC_HP_Q_707 251
#define IDC_HP_Q_2 252
#define IDC_HIGH_INVERT 254
#define IDC_HIGH_MUTE 255
#define IDC_HIGH_GROUP 263
#define IDC_HIGH_HP_FREQ_LABEL 264
#define IDC_HIGH_GAIN_LABEL 265
#define IDC_HIGH_DELAY_LABEL 266
#define IDC_HIGH_PEQ_FREQ_LABEL 267
#define IDC_HIGH_PEQ_Q_LABEL 268
#define IDC_HIGH_PEQ_GAIN_LABEL 269
#define IDC_SEQ_FREQ_LABEL 270
#define IDC_SEQ_GAIN_LABEL 271
#define IDC_HEQ_FREQ_LABEL 272
#define IDC_HEQ_GAIN_LABEL 273
#define IDC_LOW_PEQ_FREQ_LABEL 274
#define IDC_LOW_PEQ_Q_LABEL 275
#define IDC_LOW_PEQ_GAIN_LABEL 276
#define IDC_HP_GROUP 277
#define IDC_HP_FREQ_LABEL 278
#define IDC_HP_Q_LABEL 279
#define IDC_LEVEL 1150
#define IDC_DELAY 1151
#define IDC_LEVEL_TEXT 1307

// Profile Information (dialog 225)
#define IDD_PROFILE_INFO 225
#define IDC_PROFILE_PROJECT 1366
#define IDC_PROFILE_THEATER 1367
#define IDC_PROFILE_SCREEN 1368
#define IDC_PROFILE_COMMENTS 1394
// (end editor ids)

// --- speaker library dialog -------------------------------------------------
// (begin speakerlib ids)
#define IDD_SPEAKERLIB 230
#define IDC_LIB_LEFT 201
#define IDC_LIB_LEFT_CENTER 202
#define IDC_LIB_CENTER 203
#define IDC_LIB_RIGHT_CENTER 204
#define IDC_LIB_RIGHT 205
#define IDC_LIB_DEFAULT 282
#define IDC_LIB_CUSTOM 283
#define IDC_LIB_LIST 311
#define IDC_LIB_PATH 312
#define IDC_LIB_NOTE 313

// Strings of the speaker library (texts in resources/strings/strings.inc).
#define IDS_LIB_PATH 540
#define IDS_LIB_NOT_FOUND 541
#define IDS_LIB_UNREADABLE 542
#define IDS_LIB_NOT_UTF16 543
#define IDS_LIB_TOO_LARGE 544
#define IDS_LIB_NO_TWO_BAND 545
#define IDS_LIB_NO_THREE_BAND 546
#define IDS_PRESET_MISSING 547
#define IDS_PRESET_NOT_A_NUMBER 548
#define IDS_PRESET_OUT_OF_RANGE 549
#define IDS_PRESET_HP_Q 550
#define IDS_PRESET_NAME_CLASH 746
// Editor: a typed value that waits for Enter.
#define IDS_FIELD_WAITS_GAIN 747
#define IDS_FIELD_WAITS_FREQ 748
#define IDS_FIELD_WAITS_FOR_NUMBER 749
// Editor: a held value that the program dropped instead of sending.
#define IDS_FIELD_NOT_APPLIED 775
// (end speakerlib ids)

// --- copy channel dialog (226) ------------------------------------------------
// (begin copy channel ids)
#define IDD_COPY_CHANNEL 226
#define IDC_COPY_FROM_LEFT 1100
#define IDC_COPY_FROM_RIGHT 1101
#define IDC_COPY_FROM_CENTER 1102
#define IDC_COPY_FROM_LEFT_CENTER 1103
#define IDC_COPY_FROM_RIGHT_CENTER 1105
#define IDC_COPY_TO_LEFT 1025
#define IDC_COPY_TO_RIGHT 1026
#define IDC_COPY_TO_CENTER 1027
#define IDC_COPY_TO_LEFT_CENTER 1028
#define IDC_COPY_TO_RIGHT_CENTER 1030
// (end copy channel ids)

// --- measurements dialog (390) and the plot's overlay --------------------------
// (begin measurements ids)
#define IDD_MEASUREMENTS 390
#define IDC_MEAS_CHANNEL 1600
#define IDC_MEAS_ROOM 1601
#define IDC_MEAS_ROOM_LOAD 1602
#define IDC_MEAS_ROOM_REMOVE 1603
#define IDC_MEAS_AS_MEASURED 1604
#define IDC_MEAS_AS_MEASURED_PICK 1605
// One row per band (Low, Mid, High): its name, the driver, Load, Remove.
#define IDC_MEAS_BAND_NAME_0 1606
#define IDC_MEAS_BAND_NAME_1 1607
#define IDC_MEAS_BAND_NAME_2 1608
#define IDC_MEAS_DRIVER_0 1609
#define IDC_MEAS_DRIVER_1 1610
#define IDC_MEAS_DRIVER_2 1611
#define IDC_MEAS_DRIVER_LOAD_0 1612
#define IDC_MEAS_DRIVER_LOAD_1 1613
#define IDC_MEAS_DRIVER_LOAD_2 1614
#define IDC_MEAS_DRIVER_REMOVE_0 1615
#define IDC_MEAS_DRIVER_REMOVE_1 1616
#define IDC_MEAS_DRIVER_REMOVE_2 1617
#define IDC_MEAS_PHASE_MEASURED 1618
#define IDC_MEAS_PHASE_MINIMUM 1619
#define IDC_MEAS_TARGET 1620
#define IDC_MEAS_LEVEL_TYPED 1621
#define IDC_MEAS_LEVEL 1622
#define IDC_MEAS_MASK 1623
#define IDC_MEAS_MASK_LOAD 1624
#define IDC_MEAS_MASK_REMOVE 1625
#define IDC_MEAS_SMOOTHING 1626
#define IDC_MEAS_READOUT 1627
#define IDC_MEAS_EXPORT 1628
#define IDC_MEAS_IMPORT_NOTE 1629

// Strings of the measurements (texts in resources/strings/strings.inc).
#define IDS_CURVE_MEASURED 800
#define IDS_CURVE_PREDICTED 801
#define IDS_CURVE_TARGET 802
#define IDS_MEAS_NONE 803
#define IDS_MEAS_SUMMARY 804
#define IDS_MEAS_AS_ATTACHED 805
#define IDS_MEAS_AS_FILE 807
#define IDS_MEAS_FILTER_NAME 808
#define IDS_MEAS_FILTER_PATTERN 809
#define IDS_MEAS_REFUSED 810
#define IDS_MEAS_CONFIG_FILTER_NAME 811
#define IDS_MEAS_CONFIG_FILTER_PATTERN 812
#define IDS_SIDECAR_REFUSED 813
#define IDS_SIDECAR_CANNOT_SAVE 814
#define IDS_READOUT_BAND 815
#define IDS_READOUT_DEVIATION 816
#define IDS_READOUT_OUTSIDE 817
#define IDS_READOUT_OUTSIDE_MARK 818
#define IDS_CSV_FILTER_NAME 819
#define IDS_CSV_FILTER_PATTERN 820
#define IDS_SMOOTHING_NONE 821
#define IDS_SMOOTHING_SIXTH 822
#define IDS_SMOOTHING_THIRD 823
#define IDS_CSV_CANNOT_SAVE 824
#define IDS_MEAS_CONFIG_REFUSED 825
#define IDS_BAND_LOW 826
#define IDS_BAND_MID 827
#define IDS_BAND_HIGH 828
#define IDS_BAND_SUBWOOFER 829
#define IDS_MEAS_LEVEL_BAD 830
#define IDS_TARGET_LEGEND 831
// (end measurements ids)
