/* Resource ids of continue.exe: its one dialog.  Plain #defines: the resource compiler reads it. */
#ifndef CONTINUE_IDS_H
#define CONTINUE_IDS_H
#define IDD_CONTINUE 100
#define IDC_CONTINUE_STATUS 1001
#define IDC_CONTINUE_PROGRESS 1002
#endif
