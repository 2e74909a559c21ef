// The message texts, by index.
#include "core/messages.h"

namespace {
struct MessageEntry {
  int index;
  const char* text;
};

constexpr MessageEntry kEntries[] = {
    {MSG_BAD_FUNCTION, "Bad function. Enter 'help' for help"},
    {MSG_TRAILING_GARBAGE, "Trailing garbage"},
    {MSG_NOT_SUPPORTED, "This function is not supported by Tarnwick"},
    {MSG_ABORT, "    abort"},
    {MSG_COMMAND_FILE_ERROR, "command file error"},
    {MSG_NUMBER_SYNTAX, "Number syntax"},
    {MSG_NUMBER_RANGE, "Number out of range"},
    {MSG_NON_TERMINATED, "Non-terminated string"},
    {MSG_UNEXPECTED_COMMA, "Unexpected comma"},
    {MSG_CANNOT_ACCEPT_LIST, "Cannot accept address list"},
    {MSG_TRAILING_COMMA, "Trailing comma"},
    {MSG_MISSING_OPEN, "Missing '('"},
    {MSG_MISSING_CLOSE, "Missing ')'"},
    {MSG_INVALID_ADDRESS, "Invalid Address"},
    {MSG_INVALID_ADDRESS_LIST, "Invalid Address list"},
    {MSG_INVALID_PARAMETER, "Invalid parameter"},
    {MSG_INVALID_TERMINATION, "Invalid Termination code"},
    {MSG_INVALID_EOTMODE, "Invalid EOTmode"},
    {MSG_LEGAL_MODES, "    error: legal modes are: { off, ascii, full, brief }"},
    {MSG_INVALID_MASK_BIT, "Invalid mask bit"},
    {MSG_ON_OFF_EXPECTED, "    error: answer on, off or a number"},
    {MSG_TOO_MANY_ADDRESSES, "Too many addresses: a list holds at most 2047"},
    {MSG_NESTING_TOO_DEEP, "Command files nested too deeply (a file runs itself?): file not run"},
    {MSG_CANNOT_OPEN_BOARD, "Cannot open board or device"},
    {MSG_BOARD_NOT_OPEN, "Board or Device not open -- try IBFIND"},
    {MSG_CANNOT_ALLOC, "Cannot alloc buffer"},
    {MSG_TOO_MANY_ASYNC, "Too many outstanding asynchronous calls"},
    {MSG_WILL_FREE, "Will free a buffer at address"},
    {MSG_ENTER_NUMBER, "enter number"},
    {MSG_ENTER_STRING, "enter string"},
    {MSG_ENTER_BYTE_COUNT, "enter byte count"},
    {MSG_ENTER_FILENAME, "enter filename"},
    {MSG_ENTER_BOARD_DEVICE_NAME, "enter board/device name"},
    {MSG_ENTER_BOARD_NAME, "enter board name"},
    {MSG_ENTER_PRIMARY_ADDRESS, "enter primary address"},
    {MSG_ENTER_SECONDARY_ADDRESS, "enter secondary address"},
    {MSG_ENTER_BOARD_INDEX, "enter board index"},
    {MSG_ENTER_TIMEOUT, "enter timeout"},
    {MSG_ENTER_EOI_FLAG, "enter 'EOI on last byte' flag"},
    {MSG_ENTER_EOS, "enter end-of-string mode/byte"},
    {MSG_ENTER_CONFIG_PARAMETER, "enter parameter to be configured"},
    {MSG_ENTER_PARAMETER_VALUE, "enter parameter value"},
    {MSG_ENTER_QUERY_PARAMETER, "enter parameter to be queried"},
    {MSG_ENTER_LOCK_WAIT_TIME, "enter lock wait time"},
    {MSG_ENTER_EXPERT_OPTION, "enter ibexpert option"},
    {MSG_ENTER_ADDRESS, "enter address"},
    {MSG_ENTER_ADDRESS_MODIFIER, "enter address modifier"},
    {MSG_ENTER_WIDTH, "enter width"},
    {MSG_ENTER_VALUE, "enter value"},
    {MSG_ENTER_ADDRESS_LIST, "enter address list"},
    {MSG_ENTER_LIMIT, "enter 'limit' number"},
    {MSG_ENTER_EOTMODE, "enter EOTmode"},
    {MSG_ENTER_TERMINATION, "enter Termination code"},
    {MSG_ENTER_DIOLINE, "enter 'dioline' number"},
    {MSG_ENTER_SENSE, "enter 'sense' number"},
    {MSG_ENTER_BUFFER_MODE, "enter buffer mode"},
    {MSG_ENTER_MASK, "enter mask"},
    {MSG_ENTER_SET_NAME, "enter board/device name or 488.2 #"},
    {MSG_ENTER_DEVICE_CODE, "enter device code"},
    {MSG_ENTER_ON_OFF, "    Enter (on/off): "},
    {MSG_STAR_EXPECTED, "'*' expected"},
    {MSG_CANNOT_OPEN_FILE, "Cannot open file"},
    {MSG_USE_IBFIND, "Use IBFIND or IBDEV to open a device"},
    {MSG_ILLEGAL_COMMAND, "   illegal command in Execute()\n"},
    {MSG_BANNER_NAME, "Tarnwick"},
    {MSG_BANNER_NOTICE1, "vorel " VOREL_VERSION ", an interactive console for GPIB (IEEE 488) instruments"},
    {MSG_BANNER_NOTICE2, "Driver: "},
    {MSG_BANNER_HELP, "Type 'help' for help or 'q' to quit."},
    {MSG_TITLE, "GPIB Tarnwick"},
    {MSG_BUFFER_OFF, "Buffer display off."},
    {MSG_BUFFER_ASCII, "ASCII only buffer display."},
    {MSG_BUFFER_FULL, "Full buffer display."},
    {MSG_BUFFER_BRIEF, "Brief buffer display."},
};

constexpr std::array<const char*, MSG_COUNT> BuildTable() {
  std::array<const char*, MSG_COUNT> table{};
  for (const MessageEntry& e : kEntries) table[e.index] = e.text;
  return table;
}
}  // namespace

const std::array<const char*, MSG_COUNT> kMessages = BuildTable();
