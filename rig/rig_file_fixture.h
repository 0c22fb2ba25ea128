// One fixture of a rig file as a JSON object: each field read to its rules, and written back.
// Internal to the rig file reader.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include "rig_file.h"

namespace chromaset {

// Text of the file as a message quotes it: long texts are cut, so a message stays one line.
QString ShownText(const QString& text);

// value as a fixture; false with reason starting with the field ("address: ..."). name is set to
// the fixture's "name" when that is a string, so the message can name the fixture.
bool ReadFixtureObject(const QJsonValue& value, const DefinitionResolver& resolver, Fixture& out,
                       QString& name, QString& reason);

QJsonObject WriteFixtureObject(const Fixture& fixture);

}  // namespace chromaset
