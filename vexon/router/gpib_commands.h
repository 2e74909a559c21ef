// The GPIB command bytes (sent with ATN) by their names in IEEE 488.1.
#pragma once
#include <cstdint>

namespace vexon::command {

constexpr uint8_t GTL = 0x01;  // go to local
constexpr uint8_t SDC = 0x04;  // selected device clear
constexpr uint8_t PPC = 0x05;  // parallel poll configure
constexpr uint8_t GET = 0x08;  // group execute trigger
constexpr uint8_t TCT = 0x09;  // take control
constexpr uint8_t LLO = 0x11;  // local lockout
constexpr uint8_t DCL = 0x14;  // device clear
constexpr uint8_t PPU = 0x15;  // parallel poll unconfigure
constexpr uint8_t SPE = 0x18;  // serial poll enable
constexpr uint8_t SPD = 0x19;  // serial poll disable
constexpr uint8_t LAD = 0x20;  // listen address: LAD + pad (MLA)
constexpr uint8_t UNL = 0x3F;  // unlisten
constexpr uint8_t TAD = 0x40;  // talk address: TAD + pad (MTA)
constexpr uint8_t UNT = 0x5F;  // untalk
constexpr uint8_t SAD = 0x60;  // secondary address 0x60 to 0x7E; also PPE
constexpr uint8_t PPE = 0x60;  // parallel poll enable: PPE | sense << 3 | line - 1
constexpr uint8_t PPD = 0x70;  // parallel poll disable

}  // namespace vexon::command
