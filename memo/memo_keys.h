#pragma once
#include <cstdint>

namespace vestrel {

// The shift state of a key or mouse event.
using TShiftState = uint8_t;
inline constexpr TShiftState ssShift = 0x01;
inline constexpr TShiftState ssAlt = 0x02;
inline constexpr TShiftState ssCtrl = 0x04;
inline constexpr TShiftState ssLeft = 0x08;   // the left mouse button is held
inline constexpr TShiftState ssRight = 0x10;  // the right one

// The button of a mouse press or release.
enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

// Keys as the memo's key handlers take them: the numbers of the keyboard codes the memo was
// designed around. Letters and digits are their upper-case characters ('A', '7'); 0 is no key.
using TMemoKey = uint16_t;
inline constexpr TMemoKey kKeyBack = 0x08;
inline constexpr TMemoKey kKeyTab = 0x09;
inline constexpr TMemoKey kKeyReturn = 0x0D;
inline constexpr TMemoKey kKeyShift = 0x10;
inline constexpr TMemoKey kKeyControl = 0x11;
inline constexpr TMemoKey kKeyAlt = 0x12;
inline constexpr TMemoKey kKeyEscape = 0x1B;
inline constexpr TMemoKey kKeySpace = 0x20;
inline constexpr TMemoKey kKeyPageUp = 0x21;
inline constexpr TMemoKey kKeyPageDown = 0x22;
inline constexpr TMemoKey kKeyEnd = 0x23;
inline constexpr TMemoKey kKeyHome = 0x24;
inline constexpr TMemoKey kKeyLeft = 0x25;
inline constexpr TMemoKey kKeyUp = 0x26;
inline constexpr TMemoKey kKeyRight = 0x27;
inline constexpr TMemoKey kKeyDown = 0x28;
inline constexpr TMemoKey kKeyInsert = 0x2D;
inline constexpr TMemoKey kKeyDelete = 0x2E;
inline constexpr TMemoKey kKeyApps = 0x5D;  // the context-menu key
inline constexpr TMemoKey kKeyF1 = 0x70;    // F1..F24 follow on

}  // namespace vestrel
