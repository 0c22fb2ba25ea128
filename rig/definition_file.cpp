#include "definition_file.h"

#include <QFile>
#include <QHash>
#include <QXmlStreamReader>

#include "dmx_patch.h"

namespace chromaset {

namespace {

constexpr int kMaxDepth = 32;
// Definitions declare no entities; this bounds what one could expand to were that check missed.
constexpr int kEntityExpansionLimit = 1024;
constexpr int kShownLength = 40;

// A text as a reason quotes it: on one line and cut, however the file writes it (Qt's own
// messages quote the file too, such as an encoding name).
QString Shown(const QString& text, qsizetype length = kShownLength) {
  const QString line = text.simplified();
  return line.size() > length ? line.left(length) + QChar(0x2026) : line;
}

// An attribute's value 0-255; -1 when absent or not such a number, so a stray value is ignored.
int ByteValue(QStringView text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  return ok && value >= 0 && value <= 255 ? value : -1;
}

// Where an element sits; only these places carry anything the rule reads.
enum class Place {
  kOther,
  kRoot,
  kManufacturer,
  kModel,
  kType,
  kChannel,
  kGroup,
  kColour,
  kCapability,
  kMode,
  kModeChannel,
  kHead,
};

// The place of an element called name inside parent.
Place PlaceOf(Place parent, QStringView name) {
  const auto is = [name](const char* text) { return name == QLatin1StringView(text); };
  switch (parent) {
    case Place::kRoot:
      if (is("Channel")) return Place::kChannel;
      if (is("Mode")) return Place::kMode;
      if (is("Manufacturer")) return Place::kManufacturer;
      if (is("Model")) return Place::kModel;
      if (is("Type")) return Place::kType;
      return Place::kOther;
    case Place::kChannel:
      if (is("Capability")) return Place::kCapability;
      if (is("Group")) return Place::kGroup;
      if (is("Colour")) return Place::kColour;
      return Place::kOther;
    case Place::kMode:
      if (is("Channel")) return Place::kModeChannel;
      if (is("Head")) return Place::kHead;
      return Place::kOther;
    default:
      return Place::kOther;
  }
}

bool HoldsText(Place place) {
  return place == Place::kManufacturer || place == Place::kModel || place == Place::kType ||
         place == Place::kGroup || place == Place::kColour || place == Place::kModeChannel;
}

class Reader {
 public:
  explicit Reader(const QByteArray& bytes) : xml_(bytes) {
    xml_.setEntityExpansionLimit(kEntityExpansionLimit);
  }

  bool Read(FixtureDefinition& out, QString& reason) {
    if (!Walk() || !Finish()) {
      reason = reason_;
      return false;
    }
    out = std::move(definition_);
    return true;
  }

 private:
  // Every token of the file; false with reason_ at the first fault.
  bool Walk() {
    while (!xml_.atEnd()) {
      switch (xml_.readNext()) {
        case QXmlStreamReader::DTD:
          // Entities are how a small file blows up in memory; no definition declares one.
          if (!xml_.entityDeclarations().isEmpty())
            return Fail(QStringLiteral(
                "declares entities in its DOCTYPE, which a fixture definition never does"));
          break;
        case QXmlStreamReader::StartElement:
          if (!Start()) return false;
          break;
        case QXmlStreamReader::EndElement:
          if (!End()) return false;
          break;
        case QXmlStreamReader::Characters:
          if (!places_.empty() && HoldsText(places_.back())) text_ += xml_.text();
          break;
        default:
          break;
      }
    }
    if (xml_.hasError()) {
      return Fail(QStringLiteral("not well-formed XML at line %1, column %2: %3")
                      .arg(xml_.lineNumber())
                      .arg(xml_.columnNumber())
                      .arg(Shown(xml_.errorString(), 4 * kShownLength)));
    }
    return true;
  }

  bool Start() {
    if (places_.size() >= kMaxDepth) {
      return Fail(QStringLiteral("elements nested more than %1 deep").arg(kMaxDepth));
    }
    const QStringView name = xml_.name();
    Place place = Place::kRoot;
    if (places_.empty()) {
      // The namespace differs between versions of the format; the element's name does not.
      if (name != QLatin1StringView("FixtureDefinition")) {
        return Fail(QStringLiteral("not a fixture definition: the root element is <%1>")
                        .arg(Shown(name.toString())));
      }
    } else {
      place = PlaceOf(places_.back(), name);
    }
    places_.push_back(place);
    const QXmlStreamAttributes attributes = xml_.attributes();
    switch (place) {
      case Place::kChannel:
        channel_ = {};
        channelName_ = attributes.value(QLatin1StringView("Name")).toString();
        channel_.preset = attributes.value(QLatin1StringView("Preset")).toString().toStdString();
        channel_.defaultValue = ByteValue(attributes.value(QLatin1StringView("Default")));
        seenShutterOpen_ = false;
        break;
      case Place::kGroup:
        channel_.fineByte = attributes.value(QLatin1StringView("Byte")).trimmed() == u"1";
        break;
      case Place::kCapability:
        // The first "shutter open" capability counts, as the file orders them.
        if (!seenShutterOpen_ &&
            attributes.value(QLatin1StringView("Preset")) == QLatin1StringView("ShutterOpen")) {
          seenShutterOpen_ = true;
          channel_.shutterOpen = ByteValue(attributes.value(QLatin1StringView("Min")));
        }
        break;
      case Place::kMode:
        modes_.push_back({});
        modes_.back().mode.name =
            attributes.value(QLatin1StringView("Name")).toString().toStdString();
        break;
      case Place::kHead:
        ++modes_.back().mode.heads;
        break;
      default:
        break;
    }
    return true;
  }

  bool End() {
    const Place place = places_.back();
    places_.pop_back();
    const auto text = [this] { return text_.trimmed().toStdString(); };
    switch (place) {
      case Place::kManufacturer:
        definition_.manufacturer = text();
        break;
      case Place::kModel:
        definition_.model = text();
        break;
      case Place::kType:
        definition_.type = text();
        break;
      case Place::kGroup:
        channel_.group = text();
        break;
      case Place::kColour:
        channel_.colour = text();
        break;
      case Place::kChannel:
        // A name defined twice counts by its first definition.
        if (!index_.contains(channelName_)) {
          index_.insert(channelName_, static_cast<int>(definition_.channels.size()));
          channel_.name = channelName_.toStdString();
          definition_.channels.push_back(std::move(channel_));
        }
        break;
      case Place::kModeChannel: {
        PendingMode& pending = modes_.back();
        if (pending.names.size() >= kDmxChannels) {
          return Fail(QStringLiteral("mode \"%1\" has more than %2 channels")
                          .arg(Shown(QString::fromStdString(pending.mode.name)))
                          .arg(kDmxChannels));
        }
        // Names match exactly: some files end a name with a blank, in both places alike.
        pending.names.push_back(text_);
        break;
      }
      default:
        break;
    }
    text_.clear();
    return true;
  }

  // The modes' channel names as indexes (a mode may come before a channel it names), and the
  // fields every definition gives.
  bool Finish() {
    if (definition_.manufacturer.empty()) return Fail(QStringLiteral("no <Manufacturer>"));
    if (definition_.model.empty()) return Fail(QStringLiteral("no <Model>"));
    definition_.modes.reserve(modes_.size());
    for (PendingMode& pending : modes_) {
      pending.mode.channels.reserve(pending.names.size());
      for (const QString& name : pending.names) {
        const auto found = index_.constFind(name);
        if (found == index_.cend()) {
          return Fail(QStringLiteral("mode \"%1\" names channel \"%2\", which the file does "
                                     "not define")
                          .arg(Shown(QString::fromStdString(pending.mode.name)), Shown(name)));
        }
        pending.mode.channels.push_back(*found);
      }
      definition_.modes.push_back(std::move(pending.mode));
    }
    return true;
  }

  bool Fail(const QString& reason) {
    reason_ = reason;
    return false;
  }

  struct PendingMode {
    DefinitionMode mode;
    std::vector<QString> names;
  };

  QXmlStreamReader xml_;
  std::vector<Place> places_;
  QString text_;
  FixtureDefinition definition_;
  DefinitionChannel channel_;
  QString channelName_;
  bool seenShutterOpen_ = false;
  QHash<QString, int> index_;
  std::vector<PendingMode> modes_;
  QString reason_;
};

}  // namespace

bool ReadDefinition(const QByteArray& xml, FixtureDefinition& out, QString& reason) {
  if (xml.size() > kMaxDefinitionBytes) {
    reason = QStringLiteral("larger than %1 bytes (1 MB), more than any fixture definition")
                 .arg(kMaxDefinitionBytes);
    return false;
  }
  return Reader(xml).Read(out, reason);
}

bool LoadDefinitionFile(const QString& path, FixtureDefinition& out, QString& reason) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    reason = QStringLiteral("cannot be read: %1").arg(file.errorString());
    return false;
  }
  // One byte past the limit is enough for the reader to refuse a file too large: the rest is
  // never read.
  return ReadDefinition(file.read(kMaxDefinitionBytes + 1), out, reason);
}

}  // namespace chromaset
