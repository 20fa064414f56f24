// Identifiers of the resources in Marlinbar.ocx.
#pragma once

#define IDI_MARLINBAR 1
#define IDB_TOOLBOX 1
#define IDB_GLYPH_MINIMIZE 101
#define IDB_GLYPH_MAXIMIZE 102
#define IDB_GLYPH_NEXT 103
#define IDB_GLYPH_CLOSE 104
#define IDB_GLYPH_RESTORE 105
#define IDD_ABOUT 201
#define IDC_ABOUT_TEXT 202
#define IDC_ABOUT_ICON 203
