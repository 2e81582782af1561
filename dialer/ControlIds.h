#pragma once

// Control ids of the main window's template.
enum MainWindowControl : int {
  IDC_STATUS = 1000,  // call status line
  IDC_DIAL = 1001,    // dial box
  IDC_KEY2 = 1002,
  IDC_KEY1 = 1003,
  IDC_KEY3 = 1004,
  IDC_KEY4 = 1005,
  IDC_KEY5 = 1006,
  IDC_KEY6 = 1007,
  IDC_KEY7 = 1008,
  IDC_KEY8 = 1009,
  IDC_KEY9 = 1010,
  IDC_KEY0 = 1011,
  IDC_KEYSTAR = 1012,
  IDC_KEYHASH = 1013,
  IDC_CALL = 1014,
  IDC_HANGUP = 1015,
  IDC_CLEAR = 1016,
  IDC_SETTINGS = 1017,
  IDC_BALANCE = 1018,    // registration and balance line
  IDC_TEXT1019 = 1019,   // transparent text, no text set by the window
  IDC_CLOSE_ALT = 1020,  // a second close control; not in the template
  IDC_CLOSE = 1022,
  IDC_MINIMISE = 1023,
  IDC_PRODUCT_LINK = 1024,  // picture at the bottom: the product web page
  IDC_NO_ACTION = 1026,
  IDC_SPEAKER_VOLUME = 1029,
  IDC_MIC_VOLUME = 1030,
  IDC_SPEAKER_MUTE = 1031,
  IDC_MIC_MUTE = 1032,
  IDC_LOG = 1033,  // the operator's customer web page
  IDC_BOOK = 1042,
  IDC_RX_LEVEL = 1044,  // received-audio level
  IDC_TX_LEVEL = 1045,  // transmitted-audio level
  IDC_VOID = 1046,
  IDC_MANUAL = 1064,
  IDC_BANNER = 1065,
};

// The close command of the system menu.
inline constexpr int ID_CLOSE_COMMAND = 32515;
