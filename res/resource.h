// Resource identifiers, shared by the resource script, the form and the tests.
#pragma once

#define IDD_HARDWARE_SETUP 102
#define IDD_CALCULATOR 103
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
#define IDS_REASON_BACKUP_READ_ONLY 327  // %1 the backup
#define IDS_REASON_NOTHING_WRITTEN 328
#define IDS_MENU_CALCULATOR 330
#define IDS_MENU_RESTORE_DEFAULTS 331
#define IDS_MENU_UNDO_SAVE 332
#define IDS_MENU_ABOUT 333
#define IDS_NO_BACKUP 334          // %1 the backup file
#define IDS_BACKUP_UNREADABLE 335  // %1 the backup file, %2 why
#define IDS_ABOUT_CAPTION 336
#define IDS_ABOUT 337  // %1 version, %2 settings file, %3 its state
#define IDS_ABOUT_WRITABLE 338
#define IDS_ABOUT_NOT_WRITABLE 339  // %1 why
#define IDS_ABOUT_NOT_FOUND 340
#define IDS_CALC_NOT_POSITIVE 341  // %1 the field's label
#define IDS_CALC_NO_RESULT 342     // %1 the first field of the calculation
#define IDS_MENU_SHOW_CHANGES 343
#define IDS_MENU_COPY_SETTINGS 344
#define IDS_CHANGES 345      // %1 the form against the file, %2 the last save
#define IDS_CHANGE_LINE 346  // %1 the setting's name, %2 before, %3 after
#define IDS_NO_CHANGES 347
#define IDS_CHANGES_FILE_MISSING 348            // %1 the file
#define IDS_CHANGES_FILE_UNREADABLE 349         // %1 the file, %2 why
#define IDS_COPY_FAILED 350                     // %1 why
#define IDS_CLIPBOARD_BUSY 375                  // another program keeps the clipboard
#define IDS_PUT_REPORT 351                      // %1 the value, %2 the field's name
#define IDS_REASON_ACCESS_DENIED_PROTECTED 352  // %1 the system's reason
#define IDS_ABOUT_USER_COPY 353
#define IDS_USER_COPY_NOTE 354  // %1 the user's copy
// Settings taken from the clipboard or a file.
#define IDS_MENU_PASTE_SETTINGS 380
#define IDS_MENU_OPEN_SETTINGS 381
#define IDS_TAKE_CHANGES 382     // %1 where from, %2 the change lines
#define IDS_TAKE_NO_CHANGES 383  // %1 where from
#define IDS_TAKE_NOTHING 384     // %1 where from
#define IDS_FROM_CLIPBOARD 385
#define IDS_FROM_FILE 386  // %1 the file
#define IDS_CLIPBOARD_NO_TEXT 387
#define IDS_OPEN_FILTER 389       // name|pattern|..., "|" for each NUL
#define IDS_OPEN_FAILED 390       // %1 why
#define IDS_VALUE_REFUSED 391     // %1 the field's text
#define IDS_MODE_NONE 392         // %1 the value of a mode no option shows
#define IDS_CHANGES_FILE_NEW 393  // %1 the file
// Where the main application reads another copy.
#define IDS_USER_COPY_CAPTION 400
#define IDS_USER_COPY_QUESTION 401  // %1 the user's copy, %2 the file beside the program
#define IDS_USER_COPY_AT_OPEN 402   // %1 the file beside the program (and its state), %2 the copy
#define IDS_ABOUT_SAVES_TO_USER_COPY 403  // %1 the user's copy
// The save's questions and reasons.
#define IDS_REASON_HELD 420         // %1 the file
#define IDS_KEPT_ASIDE 421          // %1 the settings file, %2 the backup, %3 why, %4 the kept file
#define IDS_OPEN_UNREADABLE 422     // %1 the file, %2 why
#define IDS_REPLACE_UNREADABLE 423  // %1 the file
#define IDS_CHANGED_ON_DISK 424     // %1 the file, %2 the settings changed
#define IDS_ABOUT_NOT_LOOKED_AT 425  // %1 why
#define IDS_REASON_BACKUP 426        // %1 the backup, %2 why
#define IDS_REASON_LINK 427          // %1 the file the link names

// Commands of the form's system menu: below 0xF000, low four bits clear.
#define IDM_CALCULATOR 0x0010
#define IDM_RESTORE_DEFAULTS 0x0020
#define IDM_UNDO_SAVE 0x0030
#define IDM_ABOUT 0x0040
#define IDM_SHOW_CHANGES 0x0050
#define IDM_COPY_SETTINGS 0x0060
#define IDM_PASTE_SETTINGS 0x0240
#define IDM_OPEN_SETTINGS 0x0250

// The calculator. Each input's label string has the input's id, as on the form.
// Each of its three parts is one range of ids, from the first input to the
// last button; the put buttons and the axis options are in X, Y, Z order, as
// the form's step fields are.
#define IDC_GEAR_DIAMETER 3001
#define IDC_STEP_ANGLE 3002
#define IDC_MICROSTEPS 3003
#define IDC_CALC_STEP 3004
#define IDC_STEP_RESULT 3005
#define IDC_PUT_STEP_X 3006
#define IDC_PUT_STEP_Y 3007
#define IDC_PUT_STEP_Z 3008
#define IDC_AXIS_X 3010
#define IDC_AXIS_Y 3011
#define IDC_AXIS_Z 3012
#define IDC_CURRENT_STEP 3013
#define IDC_COMMANDED 3014
#define IDC_MEASURED 3015
#define IDC_CALC_CORRECTION 3016
#define IDC_CORRECTION_RESULT 3017
#define IDC_PUT_CORRECTION 3018
#define IDC_SWIVEL_STEP_ANGLE 3020
#define IDC_REDUCTION_RATIO 3021
#define IDC_SWIVEL_MICROSTEPS 3022
#define IDC_CALC_SWIVEL 3023
#define IDC_SWIVEL_RESULT 3024
#define IDC_PUT_SWIVEL 3025
// Its labels have ids of their own, so that no control of it has the id a
// message box gives its text.
#define IDC_CALC_LABEL_FIRST 3100
// The line that says where the last result went.
#define IDC_PUT_REPORT 3200
