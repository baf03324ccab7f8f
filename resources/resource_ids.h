/* Resource and control ids of tavrel.exe. Plain #defines, so that the resource compiler,
   the Win32 layer and the portable core can all include this header. */
#ifndef TAVREL_RESOURCE_IDS_H
#define TAVREL_RESOURCE_IDS_H

#define IDD_MAIN 101
#define IDI_MAIN 113
#define IDI_SECOND 115
#define IDD_CONDITIONS 117
#define IDD_HISTORY 119
#define IDD_FORECAST 121

/* The recording tick: timer id and period of the main dialog's timer. */
#define IDT_RECORDING_TICK 5365
#define RECORDING_TICK_MS 1000

/* Main dialog. */
#define IDC_EXIT 2 /* the same id as IDCANCEL: Escape and the close box press it */
#define IDC_REPEAT_MODE 1073
#define IDC_HIDDEN_H 1074
#define IDC_HIDDEN_V 1075
#define IDC_ADD 1085
#define IDC_WEEKDAY_MON 1090 /* 1090 + i: Monday .. Sunday */
#define IDC_WEEKDAY_TUE 1091
#define IDC_WEEKDAY_WED 1092
#define IDC_WEEKDAY_THU 1093
#define IDC_WEEKDAY_FRI 1094
#define IDC_WEEKDAY_SAT 1095
#define IDC_WEEKDAY_SUN 1096
#define IDC_CAPTURE_TOGGLE 1097 /* "Chg": open or close the capture application */
#define IDC_NAME_LIST 1121
#define IDC_COLOUR 1122
#define IDC_UPDATE 1123
#define IDC_CAPTURE_PLAY 1126
#define IDC_CAPTURE_STOP 1127
#define IDC_CAPTURE_RECORD 1128
#define IDC_SWATCH_FRAME 1130
#define IDC_OPEN_CONDITIONS 1131

/* The main dialog's system-menu item that opens the recording history (a system-menu
   command's low four bits are zero). */
#define IDM_HISTORY 0x0110
/* The item after it, which opens the forecast of the coming four weeks. */
#define IDM_FORECAST 0x0120
/* Then the items that delete the selected reservation and register Tavrel for iEPG files. */
#define IDM_DELETE 0x0130
#define IDM_ASSOCIATE 0x0140

/* The tag of the WM_COPYDATA that hands a running Tavrel the bytes of an iEPG file. */
#define TAVREL_COPYDATA_IEPG 0x50455654

/* Recording history window; its "閉じる" is IDCANCEL (2), which Escape presses too. */
#define IDC_HISTORY_NOTICE 1201
#define IDC_HISTORY_LIST 1202

/* Forecast window ("録画予定"); its "閉じる" is IDCANCEL too. */
#define IDC_FORECAST_LIST 1211

/* Recording conditions dialog. */
#define IDC_STORE 1 /* "更新" (IDOK) */
#define IDC_DONT_STORE 2 /* "更新しない" (IDCANCEL) */
#define IDC_AUDIO_BITRATE 1073
#define IDC_VIDEO_BITRATE 1074
#define IDC_BRIGHTNESS 1075
#define IDC_CONTRAST 1076
#define IDC_SATURATION 1077
#define IDC_HUE 1078
#define IDC_VBR 1090
#define IDC_USE_CONDITIONS 1091
#define IDC_USE_QUALITY 1092
#define IDC_MOVE_AFTER_RECORD 1093
#define IDC_MPEG1 1094
#define IDC_CHANGE_FORMAT 1095
#define IDC_USE_GOP 1096
#define IDC_BITRATE_SPIN 1132
#define IDC_SAMPLE_RATE 1133
#define IDC_RECORD_SIZE 1134
#define IDC_MOVE_FOLDER 1136
#define IDC_FOLDER_LENGTH 1137
#define IDC_AFTER_ACTION 1138
#define IDC_AFTER_DELAY 1139
#define IDC_FORMAT_PS 1140
#define IDC_FORMAT_VES_AES 1141
#define IDC_FORMAT_VES 1142
#define IDC_FORMAT_AVI 1143
#define IDC_GOP_PATTERN 1144

#endif
