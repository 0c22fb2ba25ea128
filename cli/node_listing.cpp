#include "node_listing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <cstring>

#include "node_rules.h"

namespace chromaset {

namespace {

QString NameField(const char* field, std::size_t width) {
  return QString::fromLatin1(field, static_cast<qsizetype>(strnlen(field, width)));
}

QString EstaText(std::uint16_t code) {
  return QStringLiteral("0x") + QString::number(code, 16).toUpper().rightJustified(4, u'0');
}

// A terminal must not receive a name's control characters as commands.
QString Printable(QString text) {
  for (QChar& c : text) {
    if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
  }
  return text;
}

QString YesNo(bool value) { return value ? QStringLiteral("yes") : QStringLiteral("no"); }

}  // namespace

std::vector<NodeRow> NodeRows(const NodeSnapshot& snapshot, const Ipv4Bytes& local,
                              const PortTable* ports) {
  std::vector<NodeRow> rows;
  for (const NodeRecord& record : snapshot) {
    if (!IsInUse(record)) break;  // slots fill in order; the first free one ends the answers
    const std::uint8_t* ip = record.IpAddress;
    NodeRow row;
    row.ip = QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
    row.estaCode = record.EstaMan;
    row.shortName = NameField(record.ShortName, sizeof record.ShortName);
    row.longName = NameField(record.LongName, sizeof record.LongName);
    row.driven = IsDrivenNode(record);
    row.localNetwork = IsOnLocalNetwork({ip[0], ip[1], ip[2], ip[3]}, local);
    for (const int port :
         ports ? ports->OutputsOf({ip[0], ip[1], ip[2], ip[3]}) : std::vector<int>{})
      row.outputs << QLatin1String(PortAddressText(port).data());
    rows.push_back(row);
  }
  return rows;
}

QString FormatNodeTable(const std::vector<NodeRow>& rows) {
  constexpr std::size_t kColumns = 7;
  using Line = std::array<QString, kColumns>;
  std::vector<Line> lines{{QStringLiteral("IP"), QStringLiteral("ESTA"),
                           QStringLiteral("SHORT NAME"), QStringLiteral("LONG NAME"),
                           QStringLiteral("DRIVEN"), QStringLiteral("LOCAL NETWORK"),
                           QStringLiteral("OUTPUTS")}};
  for (const NodeRow& row : rows) {
    lines.push_back({row.ip, EstaText(row.estaCode), Printable(row.shortName),
                     Printable(row.longName), YesNo(row.driven), YesNo(row.localNetwork),
                     row.outputs.isEmpty() ? QStringLiteral("-") : row.outputs.join(u' ')});
  }
  std::array<qsizetype, kColumns> widths{};
  for (const Line& line : lines) {
    for (std::size_t i = 0; i < kColumns; ++i) widths[i] = std::max(widths[i], line[i].size());
  }
  QString text;
  for (const Line& line : lines) {
    QString out;
    for (std::size_t i = 0; i < kColumns; ++i) {
      out += i + 1 < kColumns ? line[i].leftJustified(widths[i] + 2) : line[i];
    }
    text += out + QLatin1Char('\n');
  }
  return text;
}

QString FormatNodeJson(const std::vector<NodeRow>& rows) {
  QJsonArray array;
  for (const NodeRow& row : rows) {
    array.append(QJsonObject{{QStringLiteral("ip"), row.ip},
                             {QStringLiteral("esta"), EstaText(row.estaCode)},
                             {QStringLiteral("shortName"), row.shortName},
                             {QStringLiteral("longName"), row.longName},
                             {QStringLiteral("driven"), row.driven},
                             {QStringLiteral("localNetwork"), row.localNetwork},
                             {QStringLiteral("outputs"), QJsonArray::fromStringList(row.outputs)}});
  }
  return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
}

}  // namespace chromaset
