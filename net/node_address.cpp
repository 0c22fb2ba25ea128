#include "node_address.h"

namespace chromaset {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

bool ParseIpv4(std::string_view text, Ipv4Bytes& out) {
  text = Trim(text);
  Ipv4Bytes bytes{};
  for (std::size_t part = 0; part < bytes.size(); ++part) {
    if (part > 0) {
      if (text.empty() || text.front() != '.') return false;
      text.remove_prefix(1);
    }
    std::size_t digits = 0;
    int value = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
      if (digits == 3) return false;
      value = value * 10 + (text[digits] - '0');
      ++digits;
    }
    if (digits == 0 || value > 255 || (digits > 1 && text.front() == '0')) return false;
    bytes[part] = static_cast<std::uint8_t>(value);
    text.remove_prefix(digits);
  }
  if (!text.empty()) return false;
  out = bytes;
  return true;
}

AddressProblem NodeAddressProblem(const Ipv4Bytes& address) {
  if (address[0] == 0) return AddressProblem::ThisNetwork;
  if (address[0] == 127) return AddressProblem::Loopback;
  if (address == Ipv4Bytes{255, 255, 255, 255}) return AddressProblem::Broadcast;
  if (address[0] >= 224) return AddressProblem::NotUnicast;
  return AddressProblem::None;
}

AddressProblem ParseNodeAddress(std::string_view text, Ipv4Bytes& out) {
  Ipv4Bytes parsed{};
  if (!ParseIpv4(text, parsed)) return AddressProblem::Malformed;
  const AddressProblem problem = NodeAddressProblem(parsed);
  if (problem == AddressProblem::None) out = parsed;
  return problem;
}

const char* AddressProblemText(AddressProblem problem) {
  switch (problem) {
    case AddressProblem::None:
      return "";
    case AddressProblem::Malformed:
      return "Not an IPv4 address: four numbers 0-255 separated by dots, e.g. 192.168.1.50.";
    case AddressProblem::ThisNetwork:
      return "0.x.x.x means \"this network\"; no node has such an address.";
    case AddressProblem::Loopback:
      return "127.x.x.x is this computer's loopback; no node has such an address.";
    case AddressProblem::Broadcast:
      return "255.255.255.255 is the broadcast address; use \"ALL (Broadcast)\".";
    case AddressProblem::NotUnicast:
      return "224.0.0.0 and above are multicast or reserved; no node has such an address.";
  }
  return "";
}

bool SameNetwork24(const Ipv4Bytes& a, const Ipv4Bytes& b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

}  // namespace chromaset
