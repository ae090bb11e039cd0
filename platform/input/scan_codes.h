#pragma once
// Scan codes of the US English keyboard (set 1, as Windows reports them) and MapVirtualKeyW
// over them. The agent takes every scan code it sends from here, so the injected input is the
// same on every system whatever layout the user has.
#include <cstdint>

namespace orv {

// Translates like MapVirtualKeyW under the US English layout:
//  - MAPVK_VK_TO_VSC (0): virtual key -> scan code, 0 when the key has none. Keys that exist only
//    with the E0 prefix give their code without it (Right Ctrl 0x1D, keypad / 0x35, left Windows key
//    0x5B); the cursor and editing keys give the keypad position they share (Left 0x4B, Insert
//    0x52); Shift, Ctrl and Alt (16-18) give the left-hand key's code; Pause gives 0x45 as in its
//    key messages.
//  - MAPVK_VSC_TO_VK (1): scan code -> virtual key, Shift, Ctrl and Alt without side. The code may
//    carry the prefix in its high byte (0xE01D Right Ctrl, 0xE035 keypad /, 0xE11D Pause).
//  - MAPVK_VK_TO_CHAR (2): virtual key -> the character it types unshifted; letters upper-case.
//  - MAPVK_VSC_TO_VK_EX (3): as 1, but left and right modifiers are told apart (160-165).
// Any other type, or a code without a translation, gives 0.
uint32_t MapVirtualKeyW(uint32_t code, uint32_t mapType);

// Left and right Shift, Ctrl and Alt (160-165) as the generic key (16-18); any other key as it is.
uint32_t GenericModifier(uint32_t vk);

}  // namespace orv
