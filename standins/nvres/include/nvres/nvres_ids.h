/* Resource ids of the resource library NvRes.dll, shared by its .rc script and the programs.
   Plain #defines only: the resource compiler reads this file too. */
#ifndef NVRES_IDS_H
#define NVRES_IDS_H

/* Frame resource: program icon, tray menu (its id is the tray icon's id) and frame title. */
#define IDR_NETVANE 128
#define IDI_NETWORK_A 555
#define IDI_NETWORK_B 556

/* Bitmaps: the common dialog background and the skinned controls' state strips. */
#define IDB_BACKGROUND 134
#define IDB_BUTTON 135
#define IDB_CHECK 136
#define IDB_RADIO 137

/* Tray menu commands. */
#define ID_TRAY_ABOUT 5001
#define ID_TRAY_UPDATE 5002
#define ID_TRAY_CHANGE 5003
#define ID_TRAY_CONFIG 5004
#define ID_TRAY_ADCONFIG 5005
#define ID_TRAY_HELP 5006
#define ID_TRAY_EXIT 5007

/* Dialog templates. */
#define IDD_IP1CFG 140
#define IDD_IP2CFG 141
#define IDD_PROGRESS 142
#define IDD_ABOUT 144
#define IDD_AD_DISPLAY 145
#define IDD_AD_SHEET 146
#define IDD_AD_NETWORK 148
#define IDD_AD_MANAGE 149
#define IDD_AD_FOLDER 150
#define IDD_AD_PRINT 151
#define IDD_NETWARE_LOGON 153
#define IDD_UPDATE 160
#define IDD_UPDATE_SERVER 161

/* Option sheet. */
#define IDC_SHEET_TAB 1058
#define IDC_SHEET_OK 1060
#define IDC_SHEET_CANCEL 1061

/* Network page. */
#define IDC_NET_CONTROL_GROUP 1062
#define IDC_NET_NETWARE_GROUP 1063
#define IDC_NET_NAME_A 1064
#define IDC_NET_NAME_B 1065
#define IDC_NET_COM_NONE 1066
#define IDC_NET_COM1 1067
#define IDC_NET_COM2 1068
#define IDC_NET_COM3 1069
#define IDC_NET_COM4 1070
#define IDC_NET_USE_NETWARE_A 1071
#define IDC_NET_SERVER_A 1073
#define IDC_NET_AUTOLOGIN_A 1074
#define IDC_NET_USE_NETWARE_B 1075
#define IDC_NET_SERVER_B 1076
#define IDC_NET_AUTOLOGIN_B 1077
#define IDC_NET_REVERSE 1117

/* Manage page. */
#define IDC_MANAGE_IDLE_OFF 1080
#define IDC_MANAGE_IDLE_ON 1081
#define IDC_MANAGE_MINUTES 1082
#define IDC_MANAGE_LOG_OFF 1083
#define IDC_MANAGE_LOG_ON 1084
#define IDC_MANAGE_LOG_LABEL 1078
#define IDC_MANAGE_TIMER_LABEL 1079
#define IDC_MANAGE_MIN_LABEL 1057

/* Folder page. */
#define IDC_FOLDER_LIST 1085
#define IDC_FOLDER_ADD 1086
#define IDC_FOLDER_DELETE 1087
#define IDC_FOLDER_APPLY 1088
#define IDC_FOLDER_READ 1090
#define IDC_FOLDER_NET_LABEL 1091
#define IDC_FOLDER_ACCESS_LABEL 1092
#define IDC_FOLDER_NET_B 1093
#define IDC_FOLDER_ALWAYS 1094
#define IDC_FOLDER_HIDDEN 1096
#define IDC_FOLDER_RDONLY 1097
#define IDC_FOLDER_PAUSE 1099

/* Printer page. */
#define IDC_PRINT_LIST 1098
#define IDC_PRINT_SCAN 1100

/* Display page. */
#define IDC_DISP_NAME_A_LABEL 1040
#define IDC_DISP_NAME_A 1041
#define IDC_DISP_NAME_B_LABEL 1042
#define IDC_DISP_NAME_B 1043
#define IDC_DISP_ICON 1044
#define IDC_DISP_NETWORK 1045
#define IDC_DISP_H 1046
#define IDC_DISP_V 1047

/* About box. */
#define IDC_ABOUT_TITLE 1010
#define IDC_ABOUT_VERSION 1011
#define IDC_ABOUT_VERSION_WORD 1012
#define IDC_ABOUT_NOTICE 1013
#define IDC_ABOUT_WEB 1014
#define IDC_ABOUT_PHONE 1015
#define IDC_ABOUT_MAIL 1016
#define IDC_ABOUT_CLOSE IDOK

/* IP configuration dialogs. */
#define IDC_IP_ADAPTER 1020
#define IDC_IP_GROUP1 1021
#define IDC_IP_GROUP2 1022
#define IDC_IP_GATEWAY_A 1023
#define IDC_IP_GATEWAY_B 1024
#define IDC_IP_SAME_GW 1025
#define IDC_IP_RELOAD 1033
#define IDC_IP_ADAPTER_LABEL 1200
#define IDC_IP_GATEWAY_LABEL_A 1201
#define IDC_IP_GATEWAY_LABEL_B 1202
#define IDC_IP2_CLEAR 1203
#define IDC_IP_ADAPTER_GROUP 1204
/* IP2Cfg, per network: use-DHCP box, address fields, domain; labels ip, mask, gw, dns, domain. */
#define IDC_IP2_DHCP_A 1210
#define IDC_IP2_ADDRESS_A 1211
#define IDC_IP2_MASK_A 1212
#define IDC_IP2_GATEWAY_A 1213
#define IDC_IP2_DNS_A 1214
#define IDC_IP2_DOMAIN_A 1215
#define IDC_IP2_LABELS_A 1216 /* to 1220 */
#define IDC_IP2_DHCP_B 1230
#define IDC_IP2_ADDRESS_B 1231
#define IDC_IP2_MASK_B 1232
#define IDC_IP2_GATEWAY_B 1233
#define IDC_IP2_DNS_B 1234
#define IDC_IP2_DOMAIN_B 1235
#define IDC_IP2_LABELS_B 1236 /* to 1240 */

/* Progress dialog. */
#define IDC_PROGRESS_TEXT1 1035
#define IDC_PROGRESS_TEXT2 1036
#define IDC_PROGRESS_BAR 1037

/* NetWare logon dialog. */
#define IDC_LOGON_USER 1050
#define IDC_LOGON_SERVER 1051
#define IDC_LOGON_PASSWORD 1052

/* Update dialogs. */
#define IDC_UPDATE_SERVER 1110
#define IDC_UPDATE_TOTAL 1111
#define IDC_UPDATE_FILE 1112
#define IDC_UPDATE_START 1113
#define IDC_UPDATE_STOP 1114
#define IDC_UPDATE_SERVERCONF 1115
#define IDC_UPDATE_STATUS 1116
/* Whether updates from the servers are verified (shown before anything is fetched). */
#define IDC_UPDATE_TRUST 1137
#define IDC_SERVER_NAME 1120
#define IDC_SERVER_ADDR 1121
#define IDC_SERVER_USER 1122
#define IDC_SERVER_PASS 1123
#define IDC_SERVER_LIST 1124
#define IDC_SERVER_APPEND 1125
#define IDC_SERVER_DELETE 1126
/* Labels the update client fills from the string file. */
#define IDC_UPDATE_SERVER_LABEL 1130
#define IDC_UPDATE_TOTAL_LABEL 1131
#define IDC_UPDATE_FILE_LABEL 1132
#define IDC_SERVER_NAME_LABEL 1133
#define IDC_SERVER_ADDR_LABEL 1134
#define IDC_SERVER_USER_LABEL 1135
#define IDC_SERVER_PASS_LABEL 1136

#endif
