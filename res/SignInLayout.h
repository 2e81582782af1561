#pragma once

// Where the sign-in dialog's controls stand, in dialog units of its template (208 x 153,
// "MS Sans Serif" 8). The labels beside them are drawn into the dialog's background picture
// (bitmap 255) by the picture generator from this same table, so the two always agree.
struct SignInControl {
  int id;
  int x, y, w, h;
  const char* label;  // drawn to the left of the control (nullptr: none)
};

inline constexpr int kSignInWidth = 208;
inline constexpr int kSignInHeight = 153;

// One control per line (clang-format would pack them):
// clang-format off
inline constexpr SignInControl kSignInControls[] = {
    {1020, 78, 36, 116, 12, "Gatekeeper"},
    {1018, 78, 54, 116, 12, "Serial"},
    {1019, 78, 72, 116, 12, "PIN"},
    {1021, 78, 90, 100, 12, "GK password"},
    {1052, 182, 91, 10, 10, nullptr},  // use the GK password; "Use" is drawn to its right
    {1051, 78, 109, 10, 10, nullptr},  // store the account; its text is drawn to its right
    {1, 54, 128, 44, 16, nullptr},     // OK, bitmap 258
    {2, 110, 128, 44, 16, nullptr},    // Cancel, bitmap 260
};
// clang-format on
