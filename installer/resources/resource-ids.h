/* Ids of the installer's resources, shared by install.rc and the code that
   runs the dialogs. Only #define lines: the resource compiler reads this
   file too. */
#ifndef INSTALLER_RESOURCE_IDS_H
#define INSTALLER_RESOURCE_IDS_H

#define IDI_INSTALL 104

/* Progress window (modeless). */
#define IDD_PROGRESS 117
#define IDC_PROGRESS_BAR 1012

/* Destination directory. */
#define IDD_PATH 1001
#define IDC_PATH_EDIT 1009
#define IDC_PATH_BROWSE 1010
#define IDC_PATH_FREE 1011
#define IDC_PATH_NEEDED 1012
#define IDC_PATH_AFTER 1013
#define IDC_PATH_PROMPT 1015

/* Text pages: agreement and message. */
#define IDD_AGREEMENT 1002
#define IDC_AGREEMENT_TEXT 1012
#define IDD_MESSAGE 1003
#define IDC_MESSAGE_TEXT 1013

/* Registration form. */
#define IDD_REGISTER 1004
#define IDC_REG_FIRST_NAME 1014
#define IDC_REG_EMAIL 1015
#define IDC_REG_LAST_NAME 1016
#define IDC_REG_ADDRESS 1017
#define IDC_REG_CITY 1018
#define IDC_REG_STATE 1019
#define IDC_REG_ZIP 1020
#define IDC_REG_FIND_OUT 1021
#define IDC_REG_PHONE 1022
#define IDC_REG_COUNTRY 1023

#endif
