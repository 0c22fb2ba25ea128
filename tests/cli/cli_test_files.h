// A small fixture definition the command-line tests write where the library is read from.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

namespace chromaset {

// Chromatest/Par 1: "5ch" (dimmer, red, green, blue, a speed channel of default 7) and "Dim"
// (the dimmer alone, which cannot be coloured).
inline constexpr char kParDefinition[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE FixtureDefinition>
<FixtureDefinition xmlns="http://www.qlcplus.org/FixtureDefinition">
 <Manufacturer>Chromatest</Manufacturer>
 <Model>Par 1</Model>
 <Channel Name="Dimmer" Preset="IntensityMasterDimmer"/>
 <Channel Name="Red" Preset="IntensityRed"/>
 <Channel Name="Green" Preset="IntensityGreen"/>
 <Channel Name="Blue" Preset="IntensityBlue"/>
 <Channel Name="Speed" Default="7"/>
 <Mode Name="5ch">
  <Channel Number="0">Dimmer</Channel>
  <Channel Number="1">Red</Channel>
  <Channel Number="2">Green</Channel>
  <Channel Number="3">Blue</Channel>
  <Channel Number="4">Speed</Channel>
 </Mode>
 <Mode Name="Dim">
  <Channel Number="0">Dimmer</Channel>
 </Mode>
</FixtureDefinition>
)";

// Writes bytes to path, making its folder.
inline bool WriteTestFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace chromaset
