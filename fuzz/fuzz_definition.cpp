// Arbitrary bytes as a fixture definition file: the reader and the channel rule must never
// crash, hang or read out of bounds. A refusal gives one line and leaves the output as it was;
// a definition read holds only modes of defined channels, at most 512 each, and every mode
// either resolves to one layout channel per mode channel or is refused with its reason.
#include <cstdlib>
#include <vector>

#include "definition_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace chromaset;
  const QByteArray xml =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  FixtureDefinition definition;
  definition.model = "untouched";
  QString reason;
  if (!ReadDefinition(xml, definition, reason)) {
    Check(!reason.isEmpty() && !reason.contains(QLatin1Char('\n')));
    Check(definition.model == "untouched" && definition.modes.empty());
    return 0;
  }
  Check(!definition.manufacturer.empty() && !definition.model.empty());
  for (const DefinitionMode& mode : definition.modes) {
    Check(mode.channels.size() <= kDmxChannels);
    for (const int index : mode.channels)
      Check(index >= 0 && static_cast<std::size_t>(index) < definition.channels.size());
    ChannelLayout layout;
    std::string why;
    if (!ResolveMode(definition, mode, layout, why)) {
      Check(!why.empty() && layout.channels.empty());
      continue;
    }
    Check(layout.channels.size() == mode.channels.size());
    std::vector<std::uint8_t> bytes(layout.channels.size());
    RenderChannels(layout, {255, 128, 1, 7}, bytes.data());
    for (const LayoutChannel& channel : layout.channels) Check(!RoleText(channel).empty());
  }
  return 0;
}
