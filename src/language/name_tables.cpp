// The name tables of the command language.
#include "language/name_tables.h"

#include <strings.h>

const NameRow kExpertOptionNames[] = {
    {"IbeAPISpecVersion", 0}, {"IbeBoardType", 1}, {"IbeCompatibleType", 2}, {"IbeDriverVersion", 3},
    {"IbeSelfDiagnostic", 4}, {"IbeDebugMode", 5}, {"IbeCtrlSerialNumber", 6}, {"IbeWrite", 7},
    {"IbeRead", 8}, {"IbeSwapSPDCommandBytes", 9}, {"IbeInterfaceIsConfigured", 10},
    {"IbeInterfaceDescription", 11}, {"IbeLck", 12}, {"IbeWriteSerialNumber", 13},
    {"IbeChangeDeviceBNA", 15}, {nullptr, 0xFFFF},
};
static_assert(sizeof(kExpertOptionNames) / sizeof(NameRow) == 15 + 1);

const NameRow kAskOptionNames[] = {
    {"IbaPAD", 1}, {"IbaSAD", 2}, {"IbaTMO", 3}, {"IbaEOT", 4}, {"IbaPPC", 5}, {"IbaREADDR", 6},
    {"IbaAUTOPOLL", 7}, {"IbaCICPROT", 8}, {"IbaIRQ", 9}, {"IbaSC", 10}, {"IbaSRE", 11},
    {"IbaEOS", 37}, {"IbaEOSrd", 12}, {"IbaEOSwrt", 13}, {"IbaEOScmp", 14}, {"IbaEOSchar", 15},
    {"IbaPP2", 16}, {"IbaTIMING", 17}, {"IbaDMA", 18}, {"IbaReadAdjust", 19}, {"IbaWriteAdjust", 20},
    {"IbaSendLLO", 23}, {"IbaSPollTime", 24}, {"IbaPPollTime", 25}, {"IbaEndBitIsNormal", 26},
    {"IbaUnAddr", 27}, {"IbaSignalNumber", 28}, {"IbaBlockIfLocked", 29}, {"IbaHSCableLength", 31},
    {"IbaLON", 34}, {"IbaIst", 32}, {"IbaRsv", 33}, {"IbaSerialNumber", 35}, {"IbaBNA", 512},
    {nullptr, 0xFFFF},
};
static_assert(sizeof(kAskOptionNames) / sizeof(NameRow) == 34 + 1);

const NameRow kConfigOptionNames[] = {
    {"ibcpad", 1}, {"ibcsad", 2}, {"ibctmo", 3}, {"ibceot", 4}, {"ibcppc", 5}, {"ibcreaddr", 6},
    {"ibcautopoll", 7}, {"ibccicprot", 8}, {"ibcirq", 9}, {"ibcsc", 10}, {"ibcsre", 11},
    {"ibceos", 37}, {"ibceosrd", 12}, {"ibceoswrt", 13}, {"ibceoscmp", 14}, {"ibceoschar", 15},
    {"ibcpp2", 16}, {"ibctiming", 17}, {"ibcdma", 18}, {"ibcreadadjust", 19}, {"ibcwriteadjust", 20},
    {"ibcsendllo", 23}, {"ibcspolltime", 24}, {"ibcppolltime", 25}, {"ibcendbitisnormal", 26},
    {"ibcunaddr", 27}, {"ibcblockiflocked", 29}, {"ibchscablelength", 31}, {"ibcist", 32},
    {"ibcrsv", 33}, {"ibclon", 34}, {nullptr, 0},
};
static_assert(sizeof(kConfigOptionNames) / sizeof(NameRow) == 31 + 1);

const NameRow kEotModeNames[] = {{"nullend", 0}, {"nlend", 1}, {"dabend", 2}, {nullptr, 3}};

const NameRow kDisplayModeNames[] = {{"off", 0}, {"ascii", 1}, {"full", 2}, {"brief", 3}, {nullptr, -1}};

const NameRow kTerminationNames[] = {{"stopend", 0x100}, {nullptr, -1}};

const NameRow kOnOffNames[] = {{"on", 1}, {"off", 0}, {nullptr, -1}};

const NameRow kStatusBitNames[] = {
    {"all", 0xF9FF}, {"dcas", 0x0001}, {"dtas", 0x0002}, {"lacs", 0x0004}, {"tacs", 0x0008},
    {"atn", 0x0010}, {"cic", 0x0020}, {"rem", 0x0040}, {"lok", 0x0080}, {"cmpl", 0x0100},
    {"rqs", 0x0800}, {"srqi", 0x1000}, {"end", 0x2000}, {"timo", 0x4000}, {"err", 0x8000},
    {"bit0", 0x0001}, {"bit1", 0x0002}, {"bit2", 0x0004}, {"bit3", 0x0008}, {"bit4", 0x0010},
    {"bit5", 0x0020}, {"bit6", 0x0040}, {"bit7", 0x0080}, {"bit8", 0x0100}, {"bit9", 0x0200},
    {"bit10", 0x0400}, {"bit11", 0x0800}, {"bit12", 0x1000}, {"bit13", 0x2000}, {"bit14", 0x4000},
    {"bit15", 0x8000}, {nullptr, 0},
};
static_assert(sizeof(kStatusBitNames) / sizeof(NameRow) == 31 + 1);

int32_t LookupName(const NameRow* table, const char* text) {
  const NameRow* row = table;
  for (; row->name; ++row)
    if (text && strcasecmp(row->name, text) == 0) return row->value;
  return row->value;
}
