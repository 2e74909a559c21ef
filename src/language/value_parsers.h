// Readers of argument values: each reads one value from the rest of the line
// and, while nothing usable is there, prompts for a new line.
#pragma once
#include <cstdint>

struct InputStream;

constexpr int kAddressListSize = 2048;
// The one shared address list, ended by 0xFFFF; every parse that reads
// addresses overwrites it.
extern uint16_t addressList[kAddressListSize];

enum class ValueKind { Number, String, Name };

// Strict reader: a number token, a double-quoted string or a raw word. On the
// console it prompts ("    prompt: "); in a command file a missing value is
// "command file error". value is the number or the text's length; the text is
// at tokenPosition.
bool ReadValue(const char* prompt, ValueKind kind, InputStream* in, int32_t& value);

// The address line parser: a list ("3,5,7", "(3, 5)", "()") or one address.
bool ParseAddresses(bool single, int32_t& count);
// The address reader: prompts "enter address list" or "enter address"; an
// empty answer leaves an empty list and succeeds in list mode only.
bool ReadAddresses(bool single, InputStream* in, int32_t& count);

// set: a name, or the word 488.2 and an optional board number (name null).
bool ReadBoardOrDevice(InputStream* in, const char*& name, int32_t& board);

bool ReadExpertOption(InputStream* in, int32_t& option);
bool ReadConfigOption(InputStream* in, int32_t& option);
bool ReadAskOption(InputStream* in, int32_t& option);
bool ReadTermination(InputStream* in, int32_t& code);
bool ReadEotMode(InputStream* in, int32_t& mode);
bool ReadOnOff(InputStream* in, int32_t& value);
bool ReadBufferMode(InputStream* in, int32_t& mode);

// The mask line parser; forWait (the w command) takes an empty rest of line as 0.
bool ParseMask(bool forWait, int32_t& mask);
bool ReadMask(InputStream* in, int32_t& mask);
