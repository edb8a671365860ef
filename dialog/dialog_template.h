/* The tool dialog's template, resource 100: the one description that both the resource script
   (through the C preprocessor) and the Qt front end read. Positions and sizes are in dialog units.
   Style bits carry their Win32 values so that the description needs no system header; the Win32
   front end checks them against <windows.h> at compile time. Plain preprocessor only: windres
   reads this file too. */
#ifndef FRAME_DIALOG_TEMPLATE_H
#define FRAME_DIALOG_TEMPLATE_H

#define IDD_TOOL_DIALOG 100
#define IDC_LABEL 101
#define IDC_FIRST_PATH 102
#define IDC_BROWSE_FIRST 103
#define IDC_SECOND_PATH 104
#define IDC_BROWSE_SECOND 105
#define IDC_STATUS 108
#define IDC_GENERATE 110
#define IDC_ABOUT 111

#define TOOL_WS_CHILD 0x40000000L
#define TOOL_WS_VISIBLE 0x10000000L
#define TOOL_WS_CAPTION 0x00C00000L
#define TOOL_WS_BORDER 0x00800000L
#define TOOL_WS_SYSMENU 0x00080000L
#define TOOL_WS_GROUP 0x00020000L
#define TOOL_WS_MINIMIZEBOX 0x00020000L
#define TOOL_WS_TABSTOP 0x00010000L
#define TOOL_DS_SETFONT 0x0040L
#define TOOL_DS_CENTER 0x0800L
#define TOOL_SS_CENTER 0x0001L
#define TOOL_SS_RIGHT 0x0002L
#define TOOL_SS_NOTIFY 0x0100L
#define TOOL_SS_CENTERIMAGE 0x0200L
#define TOOL_SS_SUNKEN 0x1000L
#define TOOL_ES_LEFT 0x0000L
#define TOOL_ES_AUTOHSCROLL 0x0080L
#define TOOL_BS_PUSHBUTTON 0x0000L
#define TOOL_BS_DEFPUSHBUTTON 0x0001L

#define TOOL_DIALOG_X 0
#define TOOL_DIALOG_Y 0
#define TOOL_DIALOG_WIDTH 226
#define TOOL_DIALOG_HEIGHT 86
#define TOOL_DIALOG_STYLE (TOOL_WS_CAPTION | TOOL_WS_SYSMENU | TOOL_WS_MINIMIZEBOX | TOOL_DS_CENTER | TOOL_DS_SETFONT)
#define TOOL_DIALOG_FONT_NAME "Tahoma"
#define TOOL_DIALOG_FONT_POINTS 8
#define TOOL_DIALOG_FONT_WEIGHT 700
#define TOOL_DIALOG_FONT_ITALIC 0
#define TOOL_DIALOG_FONT_CHARSET 1

#define TOOL_CHILD (TOOL_WS_CHILD | TOOL_WS_VISIBLE)
#define TOOL_LABEL_STYLE (TOOL_CHILD | TOOL_SS_RIGHT | TOOL_SS_CENTERIMAGE | TOOL_WS_GROUP)
#define TOOL_EDIT_STYLE (TOOL_CHILD | TOOL_ES_LEFT | TOOL_WS_BORDER | TOOL_WS_TABSTOP | TOOL_ES_AUTOHSCROLL)
#define TOOL_BUTTON_STYLE (TOOL_CHILD | TOOL_BS_PUSHBUTTON | TOOL_WS_TABSTOP)
#define TOOL_DEFAULT_BUTTON_STYLE (TOOL_CHILD | TOOL_BS_DEFPUSHBUTTON | TOOL_WS_TABSTOP)
#define TOOL_STATUS_STYLE \
  (TOOL_CHILD | TOOL_SS_CENTER | TOOL_SS_CENTERIMAGE | TOOL_SS_SUNKEN | TOOL_SS_NOTIFY | TOOL_WS_GROUP)

/* The controls in template order, which is also the tab order. ROW(id, window class, text, style,
   x, y, width, height); SECOND_LABEL is the program's second label. */
#define TOOL_DIALOG_CONTROLS(ROW, SECOND_LABEL)                                       \
  ROW(IDC_LABEL, "Static", "Image:", TOOL_LABEL_STYLE, 4, 4, 48, 12)                  \
  ROW(IDC_LABEL, "Static", SECOND_LABEL, TOOL_LABEL_STYLE, 4, 20, 48, 12)             \
  ROW(IDC_LABEL, "Static", "Progress:", TOOL_LABEL_STYLE, 4, 52, 48, 12)              \
  ROW(IDC_FIRST_PATH, "Edit", "", TOOL_EDIT_STYLE, 56, 4, 150, 12)                    \
  ROW(IDC_BROWSE_FIRST, "Button", "..", TOOL_BUTTON_STYLE, 208, 4, 14, 12)            \
  ROW(IDC_SECOND_PATH, "Edit", "", TOOL_EDIT_STYLE, 56, 20, 150, 12)                  \
  ROW(IDC_BROWSE_SECOND, "Button", "..", TOOL_BUTTON_STYLE, 208, 20, 14, 12)          \
  ROW(IDC_STATUS, "Static", "Ready", TOOL_STATUS_STYLE, 56, 52, 150, 12)              \
  ROW(IDC_GENERATE, "Button", "&Generate", TOOL_DEFAULT_BUTTON_STYLE, 56, 68, 42, 14) \
  ROW(IDC_ABOUT, "Button", "&About", TOOL_BUTTON_STYLE, 180, 68, 42, 14)

#endif
