// Resource identifiers, shared by the resource script, the form and the tests.
#pragma once

#define IDD_HARDWARE_SETUP 102
#define IDR_MAINFRAME 128
#define IDS_CALVOR_RUNNING 129

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDC_AREA_X 1002
#define IDC_AREA_Y 1003
#define IDC_AREA_Z 1004
#define IDC_STEP_X 1005
#define IDC_STEP_Y 1006
#define IDC_STEP_Z 1007
#define IDC_SPEED_SCALE 1008
#define IDC_SPEED_BASE 1009
#define IDC_CLEAR_ROTATE_RETURN 1010
#define IDC_INIT_RESET 1011
#define IDC_FIRST_PRN_RESET 1012
#define IDC_DELAY_CHAR_SP 1013
#define IDC_RESET_ROTATE 1014
#define IDC_FLIP_ANGLE 1017
#define IDC_RELEASE_LIMIT 1029
#define IDC_RESET_ORDER_LABEL 2056
#define IDC_RESET_ORDER 2057
#define IDC_MODE_FLAT 2060
#define IDC_MODE_ROTATE_Y 2061
#define IDC_MODE_ROTATE_Z 2062
#define IDC_MODE_ROTATE_Z_PER_CHAR 2063
#define IDC_MODE_FLIP_Z 2064
#define IDC_SWIVEL_MODULUS 2065
#define IDC_SWIVEL_MODULUS_LABEL 2066

// The program's own messages, in the Chinese and English string tables. None
// may share a block of 16 (id / 16) with IDS_CALVOR_RUNNING: that one is loaded
// by LoadStringW, which would pick a language's block without it.
// A number field's label has the field's id as its string id.
#define IDS_FIELD_MESSAGE 300           // %1 what is wrong, %2 what is accepted
#define IDS_FIELD_MESSAGE_DISABLED 301  // the same, %3 which mode opens the field
#define IDS_FIELD_EMPTY 302             // %1 the field's label
#define IDS_FIELD_NOT_NUMBER 303
#define IDS_FIELD_NOT_WHOLE 304
#define IDS_FIELD_OUT_OF_RANGE 305
#define IDS_ACCEPTED_NUMBER 306
#define IDS_ACCEPTED_INTEGER 307
#define IDS_FIELD_DISABLED 308       // %1 the options that open the field
#define IDS_LIST_SEPARATOR 309       // between options, all but the last two
#define IDS_LIST_LAST_SEPARATOR 310  // between the last two options
#define IDS_SAVE_FAILED 320          // %1 the file, %2 why
#define IDS_SAVE_FAILED_CAPTION 321
#define IDS_SYSTEM_ERROR 322          // %1 the system's error number
#define IDS_REASON_ACCESS_DENIED 323  // %1 the system's reason
#define IDS_REASON_READ_ONLY 324
#define IDS_REASON_FOLDER_IN_THE_WAY 325
#define IDS_REASON_LINE_BREAK 326
