// The keyboard layout: German (QWERTZ) characters, special keys and keypad keys by
// DirectInput scan code. Characters are Latin-1 codes (0xDF is the sharp s, 0xB5 the micro sign,
// 0xA7 the section sign, 0xB2/0xB3 superscript two and three, 0xB0 the degree sign,
// 0xB4 the acute accent, 0xE4/0xF6/0xFC and 0xC4/0xD6/0xDC the umlauts).
#include "input.h"

namespace {

// Keypad keys carry their character with the keypad flag.
constexpr int32_t Pad(uint32_t character) {
    return (int32_t)(KEY_KEYPAD | character);
}

} // namespace

// clang-format off
// No modifier.
const int32_t keyTableNormal[KEY_TABLE_SIZE] = {
    /* 00 */ 0, KEY_ESCAPE, '1', '2', '3', '4', '5', '6',
    /* 08 */ '7', '8', '9', '0', 0xDF, 0xB4, KEY_BACKSPACE, KEY_TAB,
    /* 10 */ 'q', 'w', 'e', 'r', 't', 'z', 'u', 'i',
    /* 18 */ 'o', 'p', 0xFC, '+', KEY_RETURN, KEY_CTRLL, 'a', 's',
    /* 20 */ 'd', 'f', 'g', 'h', 'j', 'k', 'l', 0xF6,
    /* 28 */ 0xE4, '^', KEY_SHIFTL, '#', 'y', 'x', 'c', 'v',
    /* 30 */ 'b', 'n', 'm', ',', '.', '-', KEY_SHIFTR, Pad('*'),
    /* 38 */ KEY_ALT, KEY_SPACE, KEY_CAPS, KEY_F1, KEY_F2, KEY_F3, KEY_F4, KEY_F5,
    /* 40 */ KEY_F6, KEY_F7, KEY_F8, KEY_F9, KEY_F10, 0, 0, Pad('7'),
    /* 48 */ Pad('8'), Pad('9'), Pad('-'), Pad('4'), Pad('5'), Pad('6'), Pad('+'), Pad('1'),
    /* 50 */ Pad('2'), Pad('3'), Pad('0'), Pad(','), 0, 0, '<', KEY_F11,
    /* 58 */ KEY_F12, 0, 0, 0, 0, 0, 0, 0,
    /* 60 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 68 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 70 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 78 */ 0, 0, 0, 0, 0, 0, 0, 0,
};

// Caps Lock or either Shift held.
const int32_t keyTableShift[KEY_TABLE_SIZE] = {
    /* 00 */ 0, KEY_ESCAPE, '!', '"', 0xA7, '$', '%', '&',
    /* 08 */ '/', '(', ')', '=', '?', '`', KEY_BACKSPACE, KEY_TAB,
    /* 10 */ 'Q', 'W', 'E', 'R', 'T', 'Z', 'U', 'I',
    /* 18 */ 'O', 'P', 0xDC, '*', KEY_RETURN, KEY_CTRLL, 'A', 'S',
    /* 20 */ 'D', 'F', 'G', 'H', 'J', 'K', 'L', 0xD6,
    /* 28 */ 0xC4, 0xB0, KEY_SHIFTL, '\'', 'Y', 'X', 'C', 'V',
    /* 30 */ 'B', 'N', 'M', ';', ':', '_', KEY_SHIFTR, Pad('*'),
    /* 38 */ KEY_ALT, KEY_SPACE, KEY_CAPS, KEY_F1, KEY_F2, KEY_F3, KEY_F4, KEY_F5,
    /* 40 */ KEY_F6, KEY_F7, KEY_F8, KEY_F9, KEY_F10, 0, 0, Pad('7'),
    /* 48 */ Pad('8'), Pad('9'), Pad('-'), Pad('4'), Pad('5'), Pad('6'), Pad('+'), Pad('1'),
    /* 50 */ Pad('2'), Pad('3'), Pad('0'), Pad(','), 0, 0, '>', KEY_F11,
    /* 58 */ KEY_F12, 0, 0, 0, 0, 0, 0, 0,
    /* 60 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 68 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 70 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 78 */ 0, 0, 0, 0, 0, 0, 0, 0,
};

// AltGr held.
const int32_t keyTableAltGr[KEY_TABLE_SIZE] = {
    /* 00 */ 0, KEY_ESCAPE, '1', 0xB2, 0xB3, '4', '5', '6',
    /* 08 */ '{', '[', ']', '}', '\\', 0xB4, KEY_BACKSPACE, KEY_TAB,
    /* 10 */ '@', 'w', 'e', 'r', 't', 'z', 'u', 'i',
    /* 18 */ 'o', 'p', 0xFC, '~', KEY_RETURN, KEY_CTRLL, 'a', 's',
    /* 20 */ 'd', 'f', 'g', 'h', 'j', 'k', 'l', 0xF6,
    /* 28 */ 0xE4, '^', KEY_SHIFTL, '#', 'y', 'x', 'c', 'v',
    /* 30 */ 'b', 'n', 0xB5, '<', '>', '-', KEY_SHIFTR, Pad('*'),
    /* 38 */ KEY_ALT, KEY_SPACE, KEY_CAPS, KEY_F1, KEY_F2, KEY_F3, KEY_F4, KEY_F5,
    /* 40 */ KEY_F6, KEY_F7, KEY_F8, KEY_F9, KEY_F10, 0, 0, Pad('7'),
    /* 48 */ Pad('8'), Pad('9'), Pad('-'), Pad('4'), Pad('5'), Pad('6'), Pad('+'), Pad('1'),
    /* 50 */ Pad('2'), Pad('3'), Pad('0'), Pad(','), 0, 0, '|', KEY_F11,
    /* 58 */ KEY_F12, 0, 0, 0, 0, 0, 0, 0,
    /* 60 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 68 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 70 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 78 */ 0, 0, 0, 0, 0, 0, 0, 0,
};

// AltGr with Caps Lock or either Shift.
const int32_t keyTableAltGrShift[KEY_TABLE_SIZE] = {
    /* 00 */ 0, KEY_ESCAPE, '!', 0xB2, 0xB3, '$', '%', '&',
    /* 08 */ '/', '(', ')', '=', '\\', '`', KEY_BACKSPACE, KEY_TAB,
    /* 10 */ '@', 'W', 'E', 'R', 'T', 'Z', 'U', 'I',
    /* 18 */ 'O', 'P', 0xDC, '~', KEY_RETURN, KEY_CTRLL, 'A', 'S',
    /* 20 */ 'D', 'F', 'G', 'H', 'J', 'K', 'L', 0xD6,
    /* 28 */ 0xC4, 0xB0, KEY_SHIFTL, '\'', 'Y', 'X', 'C', 'V',
    /* 30 */ 'B', 'N', 0xB5, ';', ':', '_', KEY_SHIFTR, Pad('*'),
    /* 38 */ KEY_ALT, KEY_SPACE, KEY_CAPS, KEY_F1, KEY_F2, KEY_F3, KEY_F4, KEY_F5,
    /* 40 */ KEY_F6, KEY_F7, KEY_F8, KEY_F9, KEY_F10, 0, 0, Pad('7'),
    /* 48 */ Pad('8'), Pad('9'), Pad('-'), Pad('4'), Pad('5'), Pad('6'), Pad('+'), Pad('1'),
    /* 50 */ Pad('2'), Pad('3'), Pad('0'), Pad(','), 0, 0, '|', KEY_F11,
    /* 58 */ KEY_F12, 0, 0, 0, 0, 0, 0, 0,
    /* 60 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 68 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 70 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 78 */ 0, 0, 0, 0, 0, 0, 0, 0,
};

// Scan codes 0x80-0xFF, whatever the modifiers.
const int32_t keyTableExtended[KEY_TABLE_SIZE] = {
    /* 80 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 88 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 90 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* 98 */ 0, 0, 0, 0, Pad(KEY_RETURN), KEY_CTRLR, 0, 0,
    /* A0 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* A8 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* B0 */ 0, 0, 0, 0, 0, Pad('/'), 0, 0,
    /* B8 */ KEY_ALTGR, 0, 0, 0, 0, 0, 0, 0,
    /* C0 */ 0, 0, 0, 0, 0, 0, 0, KEY_HOME,
    /* C8 */ KEY_UP, KEY_PAGEUP, 0, KEY_LEFT, 0, KEY_RIGHT, 0, KEY_END,
    /* D0 */ KEY_DOWN, KEY_PAGEDOWN, KEY_INSERT, KEY_DELETE, 0, 0, 0, 0,
    /* D8 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* E0 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* E8 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* F0 */ 0, 0, 0, 0, 0, 0, 0, 0,
    /* F8 */ 0, 0, 0, 0, 0, 0, 0, 0,
};
// clang-format on
