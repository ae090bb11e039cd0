#pragma once
// The Windows input constants the programs work with: virtual-key codes, the flags of one
// keyboard or mouse input, mouse data values and the US English keyboard layout. Profiles,
// macros and the on-board format store these numbers, so they keep their Windows values.
#include <cstdint>

namespace orv {

// Virtual-key codes.
inline constexpr uint16_t VK_LBUTTON = 0x01;
inline constexpr uint16_t VK_RBUTTON = 0x02;
inline constexpr uint16_t VK_CANCEL = 0x03;
inline constexpr uint16_t VK_MBUTTON = 0x04;
inline constexpr uint16_t VK_XBUTTON1 = 0x05;
inline constexpr uint16_t VK_XBUTTON2 = 0x06;
inline constexpr uint16_t VK_BACK = 0x08;
inline constexpr uint16_t VK_TAB = 0x09;
inline constexpr uint16_t VK_CLEAR = 0x0C;
inline constexpr uint16_t VK_RETURN = 0x0D;
inline constexpr uint16_t VK_SHIFT = 0x10;
inline constexpr uint16_t VK_CONTROL = 0x11;
inline constexpr uint16_t VK_MENU = 0x12;
inline constexpr uint16_t VK_PAUSE = 0x13;
inline constexpr uint16_t VK_CAPITAL = 0x14;
inline constexpr uint16_t VK_ESCAPE = 0x1B;
inline constexpr uint16_t VK_SPACE = 0x20;
inline constexpr uint16_t VK_PRIOR = 0x21;  // Page Up
inline constexpr uint16_t VK_NEXT = 0x22;   // Page Down
inline constexpr uint16_t VK_END = 0x23;
inline constexpr uint16_t VK_HOME = 0x24;
inline constexpr uint16_t VK_LEFT = 0x25;
inline constexpr uint16_t VK_UP = 0x26;
inline constexpr uint16_t VK_RIGHT = 0x27;
inline constexpr uint16_t VK_DOWN = 0x28;
inline constexpr uint16_t VK_SELECT = 0x29;
inline constexpr uint16_t VK_PRINT = 0x2A;
inline constexpr uint16_t VK_EXECUTE = 0x2B;
inline constexpr uint16_t VK_SNAPSHOT = 0x2C;  // Print Screen
inline constexpr uint16_t VK_INSERT = 0x2D;
inline constexpr uint16_t VK_DELETE = 0x2E;
inline constexpr uint16_t VK_HELP = 0x2F;
// Digits and letters are their characters: VK_0 = '0' ... VK_9 = '9', VK_A = 'A' ... VK_Z = 'Z'.
inline constexpr uint16_t VK_0 = 0x30;
inline constexpr uint16_t VK_1 = 0x31;
inline constexpr uint16_t VK_2 = 0x32;
inline constexpr uint16_t VK_3 = 0x33;
inline constexpr uint16_t VK_4 = 0x34;
inline constexpr uint16_t VK_5 = 0x35;
inline constexpr uint16_t VK_6 = 0x36;
inline constexpr uint16_t VK_7 = 0x37;
inline constexpr uint16_t VK_8 = 0x38;
inline constexpr uint16_t VK_9 = 0x39;
inline constexpr uint16_t VK_A = 0x41;
inline constexpr uint16_t VK_B = 0x42;
inline constexpr uint16_t VK_C = 0x43;
inline constexpr uint16_t VK_D = 0x44;
inline constexpr uint16_t VK_E = 0x45;
inline constexpr uint16_t VK_F = 0x46;
inline constexpr uint16_t VK_G = 0x47;
inline constexpr uint16_t VK_H = 0x48;
inline constexpr uint16_t VK_I = 0x49;
inline constexpr uint16_t VK_J = 0x4A;
inline constexpr uint16_t VK_K = 0x4B;
inline constexpr uint16_t VK_L = 0x4C;
inline constexpr uint16_t VK_M = 0x4D;
inline constexpr uint16_t VK_N = 0x4E;
inline constexpr uint16_t VK_O = 0x4F;
inline constexpr uint16_t VK_P = 0x50;
inline constexpr uint16_t VK_Q = 0x51;
inline constexpr uint16_t VK_R = 0x52;
inline constexpr uint16_t VK_S = 0x53;
inline constexpr uint16_t VK_T = 0x54;
inline constexpr uint16_t VK_U = 0x55;
inline constexpr uint16_t VK_V = 0x56;
inline constexpr uint16_t VK_W = 0x57;
inline constexpr uint16_t VK_X = 0x58;
inline constexpr uint16_t VK_Y = 0x59;
inline constexpr uint16_t VK_Z = 0x5A;
inline constexpr uint16_t VK_LWIN = 0x5B;
inline constexpr uint16_t VK_RWIN = 0x5C;
inline constexpr uint16_t VK_APPS = 0x5D;
inline constexpr uint16_t VK_SLEEP = 0x5F;
inline constexpr uint16_t VK_NUMPAD0 = 0x60;
inline constexpr uint16_t VK_NUMPAD1 = 0x61;
inline constexpr uint16_t VK_NUMPAD2 = 0x62;
inline constexpr uint16_t VK_NUMPAD3 = 0x63;
inline constexpr uint16_t VK_NUMPAD4 = 0x64;
inline constexpr uint16_t VK_NUMPAD5 = 0x65;
inline constexpr uint16_t VK_NUMPAD6 = 0x66;
inline constexpr uint16_t VK_NUMPAD7 = 0x67;
inline constexpr uint16_t VK_NUMPAD8 = 0x68;
inline constexpr uint16_t VK_NUMPAD9 = 0x69;
inline constexpr uint16_t VK_MULTIPLY = 0x6A;
inline constexpr uint16_t VK_ADD = 0x6B;
inline constexpr uint16_t VK_SEPARATOR = 0x6C;  // stands for the keypad's Enter in recorded macros
inline constexpr uint16_t VK_SUBTRACT = 0x6D;
inline constexpr uint16_t VK_DECIMAL = 0x6E;
inline constexpr uint16_t VK_DIVIDE = 0x6F;
inline constexpr uint16_t VK_F1 = 0x70;
inline constexpr uint16_t VK_F2 = 0x71;
inline constexpr uint16_t VK_F3 = 0x72;
inline constexpr uint16_t VK_F4 = 0x73;
inline constexpr uint16_t VK_F5 = 0x74;
inline constexpr uint16_t VK_F6 = 0x75;
inline constexpr uint16_t VK_F7 = 0x76;
inline constexpr uint16_t VK_F8 = 0x77;
inline constexpr uint16_t VK_F9 = 0x78;
inline constexpr uint16_t VK_F10 = 0x79;
inline constexpr uint16_t VK_F11 = 0x7A;
inline constexpr uint16_t VK_F12 = 0x7B;
inline constexpr uint16_t VK_F13 = 0x7C;
inline constexpr uint16_t VK_F14 = 0x7D;
inline constexpr uint16_t VK_F15 = 0x7E;
inline constexpr uint16_t VK_F16 = 0x7F;
inline constexpr uint16_t VK_F17 = 0x80;
inline constexpr uint16_t VK_F18 = 0x81;
inline constexpr uint16_t VK_F19 = 0x82;
inline constexpr uint16_t VK_F20 = 0x83;
inline constexpr uint16_t VK_F21 = 0x84;
inline constexpr uint16_t VK_F22 = 0x85;
inline constexpr uint16_t VK_F23 = 0x86;
inline constexpr uint16_t VK_F24 = 0x87;
inline constexpr uint16_t VK_NUMLOCK = 0x90;
inline constexpr uint16_t VK_SCROLL = 0x91;
inline constexpr uint16_t VK_LSHIFT = 0xA0;
inline constexpr uint16_t VK_RSHIFT = 0xA1;
inline constexpr uint16_t VK_LCONTROL = 0xA2;
inline constexpr uint16_t VK_RCONTROL = 0xA3;
inline constexpr uint16_t VK_LMENU = 0xA4;
inline constexpr uint16_t VK_RMENU = 0xA5;
inline constexpr uint16_t VK_BROWSER_BACK = 0xA6;
inline constexpr uint16_t VK_BROWSER_FORWARD = 0xA7;
inline constexpr uint16_t VK_BROWSER_REFRESH = 0xA8;
inline constexpr uint16_t VK_BROWSER_STOP = 0xA9;
inline constexpr uint16_t VK_BROWSER_SEARCH = 0xAA;
inline constexpr uint16_t VK_BROWSER_FAVORITES = 0xAB;
inline constexpr uint16_t VK_BROWSER_HOME = 0xAC;
inline constexpr uint16_t VK_VOLUME_MUTE = 0xAD;
inline constexpr uint16_t VK_VOLUME_DOWN = 0xAE;
inline constexpr uint16_t VK_VOLUME_UP = 0xAF;
inline constexpr uint16_t VK_MEDIA_NEXT_TRACK = 0xB0;
inline constexpr uint16_t VK_MEDIA_PREV_TRACK = 0xB1;
inline constexpr uint16_t VK_MEDIA_STOP = 0xB2;
inline constexpr uint16_t VK_MEDIA_PLAY_PAUSE = 0xB3;
inline constexpr uint16_t VK_LAUNCH_MAIL = 0xB4;
inline constexpr uint16_t VK_LAUNCH_MEDIA_SELECT = 0xB5;
inline constexpr uint16_t VK_LAUNCH_APP1 = 0xB6;
inline constexpr uint16_t VK_LAUNCH_APP2 = 0xB7;
inline constexpr uint16_t VK_OEM_1 = 0xBA;       // ; :
inline constexpr uint16_t VK_OEM_PLUS = 0xBB;    // = +
inline constexpr uint16_t VK_OEM_COMMA = 0xBC;   // , <
inline constexpr uint16_t VK_OEM_MINUS = 0xBD;   // - _
inline constexpr uint16_t VK_OEM_PERIOD = 0xBE;  // . >
inline constexpr uint16_t VK_OEM_2 = 0xBF;       // / ?
inline constexpr uint16_t VK_OEM_3 = 0xC0;       // ` ~
inline constexpr uint16_t VK_OEM_4 = 0xDB;       // [ {
inline constexpr uint16_t VK_OEM_5 = 0xDC;       // \ |
inline constexpr uint16_t VK_OEM_6 = 0xDD;       // ] }
inline constexpr uint16_t VK_OEM_7 = 0xDE;       // ' "
inline constexpr uint16_t VK_OEM_102 = 0xE2;     // the extra key beside left Shift on 102-key boards
inline constexpr uint16_t VK_ZOOM = 0xFB;

// Flags of one keyboard input.
inline constexpr uint32_t KEYEVENTF_EXTENDEDKEY = 0x0001;
inline constexpr uint32_t KEYEVENTF_KEYUP = 0x0002;
inline constexpr uint32_t KEYEVENTF_UNICODE = 0x0004;
inline constexpr uint32_t KEYEVENTF_SCANCODE = 0x0008;

// Flags of one mouse input.
inline constexpr uint32_t MOUSEEVENTF_MOVE = 0x0001;
inline constexpr uint32_t MOUSEEVENTF_LEFTDOWN = 0x0002;
inline constexpr uint32_t MOUSEEVENTF_LEFTUP = 0x0004;
inline constexpr uint32_t MOUSEEVENTF_RIGHTDOWN = 0x0008;
inline constexpr uint32_t MOUSEEVENTF_RIGHTUP = 0x0010;
inline constexpr uint32_t MOUSEEVENTF_MIDDLEDOWN = 0x0020;
inline constexpr uint32_t MOUSEEVENTF_MIDDLEUP = 0x0040;
inline constexpr uint32_t MOUSEEVENTF_XDOWN = 0x0080;
inline constexpr uint32_t MOUSEEVENTF_XUP = 0x0100;
inline constexpr uint32_t MOUSEEVENTF_WHEEL = 0x0800;
inline constexpr uint32_t MOUSEEVENTF_HWHEEL = 0x1000;
inline constexpr uint32_t MOUSEEVENTF_ABSOLUTE = 0x8000;

// Mouse data of an X button input (bits, so both buttons can be named at once).
inline constexpr uint32_t XBUTTON1 = 0x0001;
inline constexpr uint32_t XBUTTON2 = 0x0002;
// Mouse data of one wheel notch; a wheel input carries a signed multiple (+ away from the user).
inline constexpr int32_t WHEEL_DELTA = 120;

// MapVirtualKeyW translation types.
inline constexpr uint32_t MAPVK_VK_TO_VSC = 0;     // virtual key -> scan code
inline constexpr uint32_t MAPVK_VSC_TO_VK = 1;     // scan code -> virtual key, one code per modifier pair
inline constexpr uint32_t MAPVK_VK_TO_CHAR = 2;    // virtual key -> unshifted character
inline constexpr uint32_t MAPVK_VSC_TO_VK_EX = 3;  // scan code -> virtual key, left and right told apart

// The US English keyboard layout: its layout handle and its name as LoadKeyboardLayoutW takes it.
inline constexpr uint32_t kUsLayout = 0x04090409;
inline constexpr const char* kUsLayoutName = "00000409";

}  // namespace orv
