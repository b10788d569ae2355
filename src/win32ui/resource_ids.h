//===- win32ui/resource_ids.h - Numbers of the dialogs and their controls -===//
///
/// \file
/// The resource numbers of the windows, icons and strings and the control
/// identifiers of every dialog. Included by velkor.rc and by the code, so
/// both always agree. Plain #defines: the resource compiler reads this file.
///
//===----------------------------------------------------------------------===//
#pragma once

// Dialog templates.
#define IDD_ABOUT 100
#define IDD_MAIN 102
#define IDD_PROGRESS 129

// Icons: the application, then the browser's drive, folder and page.
#define IDI_APPLICATION_ICON 128
#define IDI_DRIVE 130
#define IDI_FOLDER 131
#define IDI_PAGE 133

// Strings.
#define IDS_ABOUT_MENU_ENTRY 101

// The system menu's "&About Velkor..." command.
#define IDM_ABOUT_BOX 16

// The main window.
#define IDC_ALL_DRIVES 1009
#define IDC_RECURSIVE 1010
#define IDC_WILDCARDS 1011
#define IDC_START 1012
#define IDC_ALL_FILES 1013
#define IDC_ESTIMATE_MODE 1014
#define IDC_BASE_DIRECTORIES 1015
#define IDC_BROWSER_LIST 1029
#define IDC_WILDCARDS_LABEL 1032
#define IDC_ABOUT 1034
#define IDC_CURRENT_DIRECTORY 1036
#define IDC_HELP_BUTTON 1037

// The progress window.
#define IDC_DISK_BAR 1017
#define IDC_FILE_BAR 1018
#define IDC_TOTAL_FILES 1019
#define IDC_DOCUMENT_FILES 1020
#define IDC_COMPRESSED_FILES 1021
#define IDC_BYTES_BEFORE 1022
#define IDC_BYTES_AFTER 1023
#define IDC_BYTES_REDUCED 1025
#define IDC_RATIO 1026
#define IDC_DISK_TEXT 1027
#define IDC_FILE_TEXT 1028
#define IDC_STATUS_TEXT 1031

// The About box's two link buttons.
#define IDC_WEB_PAGE 1038
#define IDC_MAIL 1039
