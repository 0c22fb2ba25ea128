// Small fixture definition files (.qxf) as the tests write them, so no test needs the installed
// library: a few channels in the newer form and the modes that list them.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace chromaset::test {

// Channels D (master dimmer), R, G, B, W (intensities) and S (no preset, default 7); each mode is
// "Name: channel channel ...".
inline QByteArray Qxf(const char* maker, const char* model,
                      std::initializer_list<const char*> modes) {
  QByteArray xml = QByteArray("<!DOCTYPE FixtureDefinition>\n<FixtureDefinition><Manufacturer>") +
                   maker + "</Manufacturer><Model>" + model + "</Model>\n";
  for (const char* channel : {"D\" Preset=\"IntensityMasterDimmer", "R\" Preset=\"IntensityRed",
                              "G\" Preset=\"IntensityGreen", "B\" Preset=\"IntensityBlue",
                              "W\" Preset=\"IntensityWhite", "S\" Default=\"7"})
    xml += QByteArray("<Channel Name=\"") + channel + "\"/>\n";
  for (const char* mode : modes) {
    const QList<QByteArray> parts = QByteArray(mode).split(':');
    xml += "<Mode Name=\"" + parts[0] + "\">";
    for (const QByteArray& name : parts.value(1).split(' '))
      if (!name.isEmpty()) xml += "<Channel>" + name + "</Channel>";
    xml += "</Mode>\n";
  }
  return xml + "</FixtureDefinition>\n";
}

// Writes bytes to path, making its folder.
inline bool WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace chromaset::test
