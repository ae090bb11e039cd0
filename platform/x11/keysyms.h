#pragma once
// The X keysyms the input backends name, as plain numbers, so that code outside this folder
// types keys by keysym without including Xlib's headers. keysyms.cpp checks every value against
// Xlib's own definitions when it is compiled.
//
// Letters, digits, function keys and keypad digits run in order: the keysym of the letter c is
// kSmallA + 2, that of F12 is kF1 + 11 (up to F35), that of keypad 9 is kKeypad0 + 9.

// Each row: the name here, Xlib's name, the value.
#define ORV_X11_KEYSYMS(K)                                      \
  K(kCancel, XK_Cancel, 0xff69)                                 \
  K(kBackSpace, XK_BackSpace, 0xff08)                           \
  K(kTab, XK_Tab, 0xff09)                                       \
  K(kClear, XK_Clear, 0xff0b)                                   \
  K(kReturn, XK_Return, 0xff0d)                                 \
  K(kPause, XK_Pause, 0xff13)                                   \
  K(kCapsLock, XK_Caps_Lock, 0xffe5)                            \
  K(kEscape, XK_Escape, 0xff1b)                                 \
  K(kSpace, XK_space, 0x0020)                                   \
  K(kPrior, XK_Prior, 0xff55)                                   \
  K(kNext, XK_Next, 0xff56)                                     \
  K(kEnd, XK_End, 0xff57)                                       \
  K(kHome, XK_Home, 0xff50)                                     \
  K(kLeft, XK_Left, 0xff51)                                     \
  K(kUp, XK_Up, 0xff52)                                         \
  K(kRight, XK_Right, 0xff53)                                   \
  K(kDown, XK_Down, 0xff54)                                     \
  K(kSelect, XK_Select, 0xff60)                                 \
  K(kExecute, XK_Execute, 0xff62)                               \
  K(kPrint, XK_Print, 0xff61)                                   \
  K(kInsert, XK_Insert, 0xff63)                                 \
  K(kDelete, XK_Delete, 0xffff)                                 \
  K(kHelp, XK_Help, 0xff6a)                                     \
  K(kSuperL, XK_Super_L, 0xffeb)                                \
  K(kSuperR, XK_Super_R, 0xffec)                                \
  K(kMenu, XK_Menu, 0xff67)                                     \
  K(kKeypadMultiply, XK_KP_Multiply, 0xffaa)                    \
  K(kKeypadAdd, XK_KP_Add, 0xffab)                              \
  K(kKeypadEnter, XK_KP_Enter, 0xff8d)                          \
  K(kKeypadSubtract, XK_KP_Subtract, 0xffad)                    \
  K(kKeypadDecimal, XK_KP_Decimal, 0xffae)                      \
  K(kKeypadDivide, XK_KP_Divide, 0xffaf)                        \
  K(kNumLock, XK_Num_Lock, 0xff7f)                              \
  K(kScrollLock, XK_Scroll_Lock, 0xff14)                        \
  K(kShiftL, XK_Shift_L, 0xffe1)                                \
  K(kShiftR, XK_Shift_R, 0xffe2)                                \
  K(kControlL, XK_Control_L, 0xffe3)                            \
  K(kControlR, XK_Control_R, 0xffe4)                            \
  K(kAltL, XK_Alt_L, 0xffe9)                                    \
  K(kAltR, XK_Alt_R, 0xffea)                                    \
  K(kIsoLevel3Shift, XK_ISO_Level3_Shift, 0xfe03)               \
  K(kSemicolon, XK_semicolon, 0x003b)                           \
  K(kEqual, XK_equal, 0x003d)                                   \
  K(kComma, XK_comma, 0x002c)                                   \
  K(kMinus, XK_minus, 0x002d)                                   \
  K(kPeriod, XK_period, 0x002e)                                 \
  K(kSlash, XK_slash, 0x002f)                                   \
  K(kGrave, XK_grave, 0x0060)                                   \
  K(kBracketleft, XK_bracketleft, 0x005b)                       \
  K(kBackslash, XK_backslash, 0x005c)                           \
  K(kBracketright, XK_bracketright, 0x005d)                     \
  K(kApostrophe, XK_apostrophe, 0x0027)                         \
  K(kLess, XK_less, 0x003c)                                     \
  K(kSmallA, XK_a, 0x0061)                                      \
  K(kDigit0, XK_0, 0x0030)                                      \
  K(kF1, XK_F1, 0xffbe)                                         \
  K(kKeypad0, XK_KP_0, 0xffb0)                                  \
  K(kCapitalA, XK_A, 0x0041)                                    \
  K(kKeypadHome, XK_KP_Home, 0xff95)                            \
  K(kKeypadLeft, XK_KP_Left, 0xff96)                            \
  K(kKeypadUp, XK_KP_Up, 0xff97)                                \
  K(kKeypadRight, XK_KP_Right, 0xff98)                          \
  K(kKeypadDown, XK_KP_Down, 0xff99)                            \
  K(kKeypadPrior, XK_KP_Prior, 0xff9a)                          \
  K(kKeypadNext, XK_KP_Next, 0xff9b)                            \
  K(kKeypadEnd, XK_KP_End, 0xff9c)                              \
  K(kKeypadBegin, XK_KP_Begin, 0xff9d)                          \
  K(kKeypadInsert, XK_KP_Insert, 0xff9e)                        \
  K(kKeypadDelete, XK_KP_Delete, 0xff9f)                        \
  K(kIsoLeftTab, XK_ISO_Left_Tab, 0xfe20)                       \
  K(kSysReq, XK_Sys_Req, 0xff15)                                \
  K(kBreak, XK_Break, 0xff6b)                                   \
  K(kMetaL, XK_Meta_L, 0xffe7)                                  \
  K(kMetaR, XK_Meta_R, 0xffe8)                                  \
  K(kXf86Sleep, XF86XK_Sleep, 0x1008ff2f)                       \
  K(kXf86Back, XF86XK_Back, 0x1008ff26)                         \
  K(kXf86Forward, XF86XK_Forward, 0x1008ff27)                   \
  K(kXf86Refresh, XF86XK_Refresh, 0x1008ff29)                   \
  K(kXf86Stop, XF86XK_Stop, 0x1008ff28)                         \
  K(kXf86Search, XF86XK_Search, 0x1008ff1b)                     \
  K(kXf86Favorites, XF86XK_Favorites, 0x1008ff30)               \
  K(kXf86HomePage, XF86XK_HomePage, 0x1008ff18)                 \
  K(kXf86AudioMute, XF86XK_AudioMute, 0x1008ff12)               \
  K(kXf86AudioLowerVolume, XF86XK_AudioLowerVolume, 0x1008ff11) \
  K(kXf86AudioRaiseVolume, XF86XK_AudioRaiseVolume, 0x1008ff13) \
  K(kXf86AudioNext, XF86XK_AudioNext, 0x1008ff17)               \
  K(kXf86AudioPrev, XF86XK_AudioPrev, 0x1008ff16)               \
  K(kXf86AudioStop, XF86XK_AudioStop, 0x1008ff15)               \
  K(kXf86AudioPlay, XF86XK_AudioPlay, 0x1008ff14)               \
  K(kXf86Mail, XF86XK_Mail, 0x1008ff19)                         \
  K(kXf86AudioMedia, XF86XK_AudioMedia, 0x1008ff32)             \
  K(kXf86MyComputer, XF86XK_MyComputer, 0x1008ff33)             \
  K(kXf86Calculator, XF86XK_Calculator, 0x1008ff1d)

namespace orv::x11 {

#define ORV_X11_KEYSYM_CONSTANT(name, xlibName, value) inline constexpr unsigned long name = value;
ORV_X11_KEYSYMS(ORV_X11_KEYSYM_CONSTANT)
#undef ORV_X11_KEYSYM_CONSTANT

}  // namespace orv::x11
