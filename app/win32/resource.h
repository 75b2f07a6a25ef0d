#pragma once
// Resource and control identifiers of the window program.

#define IDD_MAIN 100
#define IDC_LOG 101
#define IDC_PROGRESS 102
// "Старт" and "Выход" carry the dialog manager's identifiers of the default and the cancel
// button, so that Enter and Esc reach them as in any dialog.
#define IDC_RUN IDOK
#define IDC_EXIT IDCANCEL
