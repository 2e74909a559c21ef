// Link names of a GPIB gateway.
#include "link_name.h"

#include <cctype>

#include "protocol.h"

namespace gateway {

namespace {

// Reads a decimal number of at most three digits at text[*at].
bool ReadNumber(const std::string& text, size_t* at, int* value) {
  size_t start = *at;
  int v = 0;
  while (*at < text.size() && std::isdigit(static_cast<unsigned char>(text[*at])) && *at - start < 3) {
    v = v * 10 + (text[*at] - '0');
    ++*at;
  }
  if (*at == start || (*at < text.size() && std::isdigit(static_cast<unsigned char>(text[*at])))) return false;
  *value = v;
  return true;
}

}  // namespace

long ParseLinkName(const std::string& text, LinkTarget* target) {
  *target = LinkTarget{};
  if (text.empty()) return kSyntaxError;
  if (text.compare(0, 4, "gpib") != 0 || text.size() == 4 ||
      !std::isdigit(static_cast<unsigned char>(text[4]))) {
    target->kind = LinkTarget::kNamed;
    target->name = text;
    return kNoError;
  }
  size_t at = 4;
  int numbers[3] = {0, 0, 0};
  int count = 0;
  while (true) {
    if (!ReadNumber(text, &at, &numbers[count])) return kSyntaxError;
    ++count;
    if (at == text.size()) break;
    if (text[at] != ',' || count == 3) return kSyntaxError;
    ++at;
  }
  target->board = numbers[0];
  if (target->board > 15) return kNotAccessible;
  if (count == 1) {
    target->kind = LinkTarget::kInterface;
    return kNoError;
  }
  target->kind = LinkTarget::kDevice;
  target->pad = numbers[1];
  if (target->pad > 30) return kInvalidAddress;
  if (count == 3) {
    int sad = numbers[2];
    if (sad <= 30) sad += 0x60;
    if (sad < 0x60 || sad > 0x7E) return kInvalidAddress;
    target->sad = sad;
  }
  return kNoError;
}

}  // namespace gateway
